#include "rawio/sector_span.h"

#include "frame/checked_math.h"
#include "platform/address_table.h"
#include "platform/ansi_code_page.h"
#include "platform/kernel32_files.h"
#include "platform/last_error.h"
#include "platform/sleep.h"

namespace volumar {

SectorSpan cover_bytes(Long byte_offset, Long byte_count, Integer bytes_per_sector) {
  if (byte_count < 1 || byte_offset < 0) raise_error(win::kErrSubscriptOutOfRange);
  Long last = checked_sub<Long>(checked_add<Long>(byte_offset, byte_count), 1);
  Long sectors = checked_add<Long>(checked_idiv<Long>(last, bytes_per_sector), 1);
  return {sectors, checked_mul<Long>(sectors, bytes_per_sector)};
}

Long device_position(Long start_sector, Integer bytes_per_sector) {
  return checked_mul<Long>(start_sector, bytes_per_sector);
}

std::uint16_t extended_sector_count(Long sectors) { return static_cast<std::uint16_t>(CInt(sectors)); }

std::string volume_device_path(const String& drive) {
  std::string path = "\\\\.\\";
  if (!drive.empty()) {
    char16_t c = drive[0];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    path += static_cast<char>(win::ansi_byte(c));
  }
  return path + ":";
}

Long drive_number(const String& drive) {
  if (drive.empty()) raise_error(win::kErrInvalidProcedureCall);
  char16_t c = drive[0];
  if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return Long{c} - Long{u'A'};
}

bool retry_while_locked(const std::function<bool()>& attempt) {
  // Another writer holds a range for one read-modify-write of a few
  // sectors: a few seconds are plenty.
  constexpr int kAttempts = 500;
  constexpr win::DWORD kWaitMs = 10;
  for (int n = 0; n < kAttempts; ++n) {
    if (attempt()) return true;
    if (win::GetLastError() != win::ERROR_LOCK_VIOLATION) return false;
    win::Sleep(kWaitMs);
  }
  return false;
}

HandleGuard::~HandleGuard() {
  if (valid()) win::CloseHandle(handle_);
}

BufferAddress::BufferAddress(void* data, std::size_t size) : address_(win::register_address(data, size)) {}
BufferAddress::~BufferAddress() {
  if (address_) win::unregister_address(address_);
}

bool send_vwin32_request(win::HANDLE vwin32, win::DWORD code, win::DIOC_REGISTERS& regs) {
  std::uint8_t record[win::DIOC_REGISTERS_SIZE];
  win::encode_dioc_registers(regs, record);
  win::DWORD returned = 0;
  win::BOOL ok = win::DeviceIoControl(vwin32, code, record, sizeof record, record, sizeof record, &returned, nullptr);
  regs = win::decode_dioc_registers(record);
  return ok && !(regs.reg_Flags & win::CARRY_FLAG);
}

bool read_whole(win::HANDLE h, void* buffer, win::DWORD length) {
  auto* at = static_cast<std::uint8_t*>(buffer);
  for (win::DWORD done = 0, got = 0; done < length; done += got)
    if (!retry_while_locked([&] { return win::ReadFile(h, at + done, length - done, &got, nullptr) != 0; }) || got == 0)
      return false;
  return true;
}

bool write_whole(win::HANDLE h, const void* buffer, win::DWORD length) {
  const auto* at = static_cast<const std::uint8_t*>(buffer);
  for (win::DWORD done = 0, put = 0; done < length; done += put)
    if (!retry_while_locked([&] { return win::WriteFile(h, at + done, length - done, &put, nullptr) != 0; }) ||
        put == 0)
      return false;
  return true;
}

}  // namespace volumar
