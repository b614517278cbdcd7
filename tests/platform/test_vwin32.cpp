// The 9x \\.\VWIN32 service, its register records and the address table.
#include <cstring>

#include "platform/address_table.h"
#include "platform/device_records.h"
#include "platform/last_error.h"
#include "platform/request_log.h"
#include "platform/syscalls.h"
#include "platform_test_support.h"

using namespace win;
using platform_test::pattern;

namespace {

class Vwin32 : public platform_test::PlatformTest {
 protected:
  void SetUp() override { set_family(Family::Win9x); }

  static HANDLE service() { return open_path("\\\\.\\VWIN32", GENERIC_READ); }

  // Sends the record from an odd address, as the bytes are all that count.
  static DIOC_REGISTERS call(HANDLE h, DWORD code, const DIOC_REGISTERS& in, BOOL* ok = nullptr) {
    BYTE raw[DIOC_REGISTERS_SIZE + 1];
    encode_dioc_registers(in, raw + 1);
    DWORD returned = 0;
    BOOL r = DeviceIoControl(h, code, raw + 1, DIOC_REGISTERS_SIZE, raw + 1, DIOC_REGISTERS_SIZE, &returned, nullptr);
    if (ok) *ok = r;
    EXPECT_TRUE(r);
    EXPECT_EQ(returned, DIOC_REGISTERS_SIZE);
    return decode_dioc_registers(raw + 1);
  }

  static DIOC_REGISTERS regs(DWORD ebx, DWORD edx, DWORD ecx, DWORD eax, DWORD esi) {
    DIOC_REGISTERS r;
    r.reg_EBX = ebx;
    r.reg_EDX = edx;
    r.reg_ECX = ecx;
    r.reg_EAX = eax;
    r.reg_ESI = esi;
    return r;
  }
  static DIOC_REGISTERS absolute(DWORD drive0, DWORD address, DWORD count, DWORD start) {
    return regs(address, start, count, drive0, 0x6000);
  }
  static DIOC_REGISTERS extended(DWORD drive1, DWORD packet, DWORD esi) {
    return regs(packet, drive1, 0xFFFFFFFF, 0x7305, esi);
  }
  static DIOC_REGISTERS lock_request(DWORD drive1, DWORD level, DWORD category = 0x48) {
    return regs(level * 256 + drive1, 0, category * 256 + 0x4A, 0x440D, 0);
  }
  static DIOC_REGISTERS unlock_request(DWORD drive1, DWORD category = 0x48) {
    return regs(drive1, 0, category * 256 + 0x6A, 0x440D, 0);
  }
  static bool carry(const DIOC_REGISTERS& r) { return (r.reg_Flags & CARRY_FLAG) != 0; }
  static WORD ax(const DIOC_REGISTERS& r) { return static_cast<WORD>(r.reg_EAX); }
};

// An extended transfer of `sectors` sectors with its own packet and buffer.
struct ExtendedTransfer {
  ExtendedTransfer(DWORD start, WORD sectors, std::size_t bytes)
      : buffer(bytes, 0xEE), buffer_reg(buffer.data(), buffer.size()) {
    encode_diskio({start, sectors, buffer_reg.address()}, packet);
  }
  std::vector<BYTE> buffer;
  AddressRegistration buffer_reg;
  BYTE packet[DISKIO_SIZE];
  AddressRegistration packet_reg{packet, sizeof packet};
};

TEST(AddressTable, AddressesResolveOnlyInsideTheirBuffer) {
  std::vector<BYTE> a(100), b(70000);
  DWORD pa = register_address(a.data(), a.size());
  DWORD pb = register_address(b.data(), b.size());
  ASSERT_NE(pa, 0u);
  ASSERT_NE(pb, 0u);
  EXPECT_TRUE(pb >= pa + 100 + 1 || pa >= pb + 70000 + 1);
  EXPECT_EQ(resolve_address(pa, 100), a.data());
  EXPECT_EQ(resolve_address(pa + 10, 90), a.data() + 10);
  EXPECT_EQ(resolve_address(pa + 10, 91), nullptr);  // past the registered size
  EXPECT_EQ(resolve_address(pa + 100, 1), nullptr);
  EXPECT_EQ(resolve_address(pa - 1, 1), nullptr);
  EXPECT_EQ(resolve_address(pb + 69999, 1), b.data() + 69999);
  unregister_address(pa);
  EXPECT_EQ(resolve_address(pa, 1), nullptr);
  DWORD again = register_address(a.data(), a.size());
  EXPECT_NE(again, pa);  // a stale address does not come straight back to life
  unregister_address(again);
  unregister_address(pb);
  EXPECT_EQ(register_address(a.data(), 0), 0u);
  EXPECT_EQ(register_address(nullptr, 4), 0u);
}

TEST(DeviceRecords, FieldsSitAtTheirByteOffsetsOnAnyAlignment) {
  BYTE raw[DISKIO_SIZE + 3] = {};
  encode_diskio({0x12345, 3, 0xA1B2C3D4}, raw + 3);
  const BYTE expected[] = {0x45, 0x23, 0x01, 0x00, 0x03, 0x00, 0xD4, 0xC3, 0xB2, 0xA1};
  EXPECT_EQ(std::memcmp(raw + 3, expected, sizeof expected), 0);  // the address at byte 6, not 8
  EXPECT_EQ(decode_diskio(raw + 3), (DISKIO{0x12345, 3, 0xA1B2C3D4}));

  BYTE regs[DIOC_REGISTERS_SIZE + 1];
  encode_dioc_registers({1, 2, 3, 4, 5, 6, 7}, regs + 1);
  EXPECT_EQ(regs[1], 1);       // reg_EBX first
  EXPECT_EQ(regs[1 + 12], 4);  // reg_EAX fourth
  EXPECT_EQ(regs[1 + 24], 7);  // reg_Flags last
  EXPECT_EQ(decode_dioc_registers(regs + 1), (DIOC_REGISTERS{1, 2, 3, 4, 5, 6, 7}));

  BYTE geo[DISK_GEOMETRY_SIZE + 1];
  DISK_GEOMETRY g{0x123456789A, FixedMedia, 255, 63, 512};
  encode_disk_geometry(g, geo + 1);
  EXPECT_EQ(geo[1 + 4], 0x12);  // the cylinders' high half
  EXPECT_EQ(geo[1 + 8], 12);
  EXPECT_EQ(decode_disk_geometry(geo + 1), g);
}

TEST_F(Vwin32, AbsoluteReadDeliversWholeSectorsAndClearsTheCarry) {
  map('C', raw_image("c.img", 16 * 512));
  std::vector<BYTE> buf(1024, 0);
  AddressRegistration reg(buf.data(), buf.size());
  HANDLE h = service();
  DIOC_REGISTERS in = absolute(2, reg.address(), 2, 5);
  in.reg_Flags = CARRY_FLAG | 0x40;
  DIOC_REGISTERS out = call(h, VWIN32_DIOC_DOS_INT25, in);
  EXPECT_FALSE(carry(out));
  EXPECT_EQ(out.reg_Flags, 0x40u);  // other flag bits as they were
  EXPECT_EQ(buf[0], pattern(5 * 512));
  EXPECT_EQ(buf[1023], pattern(7 * 512 - 1));

  std::fill(buf.begin(), buf.end(), 0);
  out = call(h, VWIN32_DIOC_DOS_INT25, absolute(2, reg.address(), 2, 15));  // passes the end
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), 0x0408);
  EXPECT_EQ(buf[0], 0);                                                    // nothing delivered
  out = call(h, VWIN32_DIOC_DOS_INT25, absolute(2, reg.address(), 3, 0));  // more than the buffer holds
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), 0x000C);
  EXPECT_EQ(buf[0], 0);
  out = call(h, VWIN32_DIOC_DOS_INT25, absolute(2, 0x7FFF0000, 1, 0));
  EXPECT_TRUE(carry(out));
  out = call(h, VWIN32_DIOC_DOS_INT25, absolute(7, reg.address(), 1, 0));  // drive H is not mapped
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), 0x0001);
  CloseHandle(h);
}

TEST_F(Vwin32, AbsoluteWriteRespectsReadOnlyVolumesAndTheEnd) {
  auto image = raw_image("d.img", 8 * 512);
  map('D', image);
  std::vector<BYTE> buf(512, 0x5A);
  AddressRegistration reg(buf.data(), buf.size());
  HANDLE h = service();  // GENERIC_READ is enough for the service, as on 9x
  DIOC_REGISTERS out = call(h, VWIN32_DIOC_DOS_INT26, absolute(3, reg.address(), 1, 7));
  EXPECT_FALSE(carry(out));
  EXPECT_EQ(fixtures::file_bytes(image, 7 * 512, 1)[0], 0x5A);
  out = call(h, VWIN32_DIOC_DOS_INT26, absolute(3, reg.address(), 1, 8));
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), 0x0408);
  EXPECT_EQ(std::filesystem::file_size(image), 8u * 512);

  DriveMap::set_read_only(true);
  out = call(h, VWIN32_DIOC_DOS_INT26, absolute(3, reg.address(), 1, 0));
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), 0x0300);
  EXPECT_EQ(fixtures::file_bytes(image, 0, 1)[0], pattern(0));

  map('F', dir_.file("missing.img"));
  out = call(h, VWIN32_DIOC_DOS_INT25, absolute(5, reg.address(), 1, 0));
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), 0x8002);
  CloseHandle(h);
}

TEST_F(Vwin32, ExtendedTransfersUseTheVolumesOwnSectorSize) {
  auto image = fat_image("c.img", platform_test::mkfs(32, 40 * 1024, {}, std::nullopt, 2048));
  map('C', image);
  HANDLE h = service();
  ExtendedTransfer read(1, 2, 4096);
  DIOC_REGISTERS out = call(h, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, read.packet_reg.address(), 0));
  EXPECT_FALSE(carry(out));
  EXPECT_EQ(read.buffer, fixtures::file_bytes(image, 2048, 4096));

  ExtendedTransfer write(3, 1, 2048);
  std::fill(write.buffer.begin(), write.buffer.end(), 0x77);
  out = call(h, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, write.packet_reg.address(), 0x6001));
  EXPECT_FALSE(carry(out));
  EXPECT_EQ(fixtures::file_bytes(image, 3 * 2048, 2048), write.buffer);
  EXPECT_EQ(fixtures::file_bytes(image, 4 * 2048, 1)[0], 0);

  ExtendedTransfer too_big(3, 2, 2048);  // two sectors into a one-sector buffer
  out = call(h, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, too_big.packet_reg.address(), 0));
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), ERROR_INVALID_PARAMETER);
  CloseHandle(h);
}

TEST_F(Vwin32, ExtendedWritePastTheEndWritesNothing) {
  auto image = raw_image("c.img", 10 * 512);
  map('C', image);
  HANDLE h = service();
  ExtendedTransfer t(9, 2, 1024);
  DIOC_REGISTERS out = call(h, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, t.packet_reg.address(), 0x6001));
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), ERROR_SECTOR_NOT_FOUND);
  EXPECT_EQ(std::filesystem::file_size(image), 10u * 512);
  EXPECT_EQ(fixtures::file_bytes(image, 9 * 512, 1)[0], pattern(9 * 512));

  DIOC_REGISTERS bad = extended(3, t.packet_reg.address(), 0);
  bad.reg_ECX = 5;  // the extended call wants CX = FFFFh
  EXPECT_TRUE(carry(call(h, VWIN32_DIOC_DOS_DRIVEINFO, bad)));
  bad = extended(0, t.packet_reg.address(), 0);  // no current drive to default to
  EXPECT_EQ(ax(call(h, VWIN32_DIOC_DOS_DRIVEINFO, bad)), ERROR_INVALID_DRIVE);
  bad = extended(3, 0x1234, 0);  // the packet's address is unknown
  EXPECT_TRUE(carry(call(h, VWIN32_DIOC_DOS_DRIVEINFO, bad)));
  CloseHandle(h);
}

TEST_F(Vwin32, AVolumeLockKeepsOtherHandlesOutUntilReleased) {
  auto image = raw_image("c.img", 8 * 512);
  map('C', image);
  HANDLE a = service();
  HANDLE b = service();
  ASSERT_FALSE(carry(call(a, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 0))));

  for (DWORD level = 0; level <= 3; ++level)  // the library's whole sequence fails for b
    for (DWORD category : {0x48u, 0x08u})
      EXPECT_TRUE(carry(call(b, VWIN32_DIOC_DOS_IOCTL, lock_request(3, level, category))));
  ExtendedTransfer t(0, 1, 512);
  std::fill(t.buffer.begin(), t.buffer.end(), 0x11);
  DIOC_REGISTERS out = call(b, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, t.packet_reg.address(), 0x6001));
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), ERROR_LOCK_VIOLATION);
  EXPECT_FALSE(carry(call(b, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, t.packet_reg.address(), 0))));  // reads go on
  EXPECT_FALSE(carry(call(a, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, t.packet_reg.address(), 0x6001))));

  EXPECT_FALSE(carry(call(a, VWIN32_DIOC_DOS_IOCTL, unlock_request(3))));
  out = call(a, VWIN32_DIOC_DOS_IOCTL, unlock_request(3));
  EXPECT_TRUE(carry(out));
  EXPECT_EQ(ax(out), ERROR_NOT_LOCKED);

  EXPECT_FALSE(carry(call(b, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 0, 0x08))));
  CloseHandle(b);  // closing with the lock held releases it
  EXPECT_FALSE(carry(call(a, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 0))));
  CloseHandle(a);
}

TEST_F(Vwin32, LockLevelsNestOneAtATime) {
  map('C', raw_image("c.img", 4096));
  HANDLE h = service();
  EXPECT_TRUE(carry(call(h, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 2))));  // not without 1
  EXPECT_FALSE(carry(call(h, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 1))));
  EXPECT_TRUE(carry(call(h, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 3))));
  EXPECT_FALSE(carry(call(h, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 2))));
  EXPECT_FALSE(carry(call(h, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 3))));
  EXPECT_EQ(ax(call(h, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 4))), ERROR_INVALID_PARAMETER);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(carry(call(h, VWIN32_DIOC_DOS_IOCTL, unlock_request(3))));
  EXPECT_TRUE(carry(call(h, VWIN32_DIOC_DOS_IOCTL, unlock_request(3))));

  EXPECT_EQ(ax(call(h, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 0, 0x18))), ERROR_INVALID_FUNCTION);
  EXPECT_EQ(ax(call(h, VWIN32_DIOC_DOS_IOCTL, lock_request(9, 0))), ERROR_INVALID_DRIVE);
  DIOC_REGISTERS other = lock_request(3, 0);
  other.reg_EAX = 0x4400;
  EXPECT_EQ(ax(call(h, VWIN32_DIOC_DOS_IOCTL, other)), ERROR_INVALID_FUNCTION);
  CloseHandle(h);
}

TEST_F(Vwin32, RequiringLocksRefusesUnlockedWrites) {
  map('C', raw_image("c.img", 4096));
  set_vwin32_require_lock(true);
  HANDLE h = service();
  ExtendedTransfer t(0, 1, 512);
  DIOC_REGISTERS out = call(h, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, t.packet_reg.address(), 0x6001));
  EXPECT_EQ(ax(out), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ax(call(h, VWIN32_DIOC_DOS_INT26, absolute(2, t.buffer_reg.address(), 1, 0))), 0x000C);
  call(h, VWIN32_DIOC_DOS_IOCTL, lock_request(3, 0));
  EXPECT_FALSE(carry(call(h, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, t.packet_reg.address(), 0x6001))));
  CloseHandle(h);
}

TEST_F(Vwin32, FailedDiskReadsSetTheCarryAndShortOnesGoOn) {
  map('C', raw_image("c.img", 4096));
  HANDLE h = service();
  ExtendedTransfer t(2, 2, 1024);
  SyscallFaults faults;
  faults.short_read(2, 700);  // the service's first read is the boot sector
  DIOC_REGISTERS out = call(h, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, t.packet_reg.address(), 0));
  EXPECT_FALSE(carry(out));
  faults.short_read(-1, 0);
  faults.fail_read(5);  // the second request's data, after its boot sector
  out = call(h, VWIN32_DIOC_DOS_DRIVEINFO, extended(3, t.packet_reg.address(), 0));
  EXPECT_TRUE(carry(out));
  faults.fail_read(-1);
  faults.fail_write(0);
  out = call(h, VWIN32_DIOC_DOS_INT26, absolute(2, t.buffer_reg.address(), 1, 0));
  EXPECT_EQ(ax(out), 0x200A);
  CloseHandle(h);
}

TEST_F(Vwin32, RequestsAreRecordedAndTracedAsBytes) {
  map('C', raw_image("c.img", 4096));
  HANDLE h = service();
  ExtendedTransfer t(0x12345 & 0x3, 1, 512);
  std::vector<std::string> lines;
  set_trace_sink([&](const std::string& line) { lines.push_back(line); });
  RequestLog log;
  DIOC_REGISTERS in = extended(3, t.packet_reg.address(), 0);
  call(h, VWIN32_DIOC_DOS_DRIVEINFO, in);
  set_trace_sink({});

  auto controls = log.of_kind(PlatformRequest::Kind::Control);
  ASSERT_EQ(controls.size(), 1u);
  BYTE sent[DIOC_REGISTERS_SIZE];
  encode_dioc_registers(in, sent);
  EXPECT_EQ(controls[0].code, VWIN32_DIOC_DOS_DRIVEINFO);
  EXPECT_EQ(controls[0].input, std::vector<BYTE>(sent, sent + sizeof sent));
  EXPECT_EQ(controls[0].output.size(), DIOC_REGISTERS_SIZE);
  EXPECT_EQ(controls[0].packet, std::vector<BYTE>(t.packet, t.packet + DISKIO_SIZE));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("DeviceIoControl("), std::string::npos);
  EXPECT_NE(lines[0].find(", 0x6, in=[" + hex_bytes(sent, sizeof sent) + "], 28, 28) = TRUE out=["), std::string::npos);
  EXPECT_NE(lines[0].find(" diskio=[" + hex_bytes(t.packet, DISKIO_SIZE) + "]"), std::string::npos);
  CloseHandle(h);
}

TEST_F(Vwin32, MisusedCallsFailWithoutTouchingTheRecord) {
  HANDLE h = service();
  BYTE raw[DIOC_REGISTERS_SIZE] = {};
  DWORD returned = 5;
  EXPECT_FALSE(DeviceIoControl(h, VWIN32_DIOC_DOS_INT25, raw, 27, raw, 28, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(returned, 0u);
  EXPECT_FALSE(DeviceIoControl(h, 0x70000, raw, 28, raw, 28, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_TRUE(DeviceIoControl(h, DIOC_GETVERSION, nullptr, 0, nullptr, 0, &returned, nullptr));
  CloseHandle(h);
}

}  // namespace
