#include "tools/volumar/host/far_sectors.h"

#include <limits>
#include <string>

#include "platform/kernel32_files.h"
#include "rawio/read_sectors.h"

namespace volumar_tool {
namespace {

class VolumeHandle {
 public:
  VolumeHandle(char letter, win::DWORD access) {
    const std::string device = std::string("\\\\.\\") + letter + ":";
    h_ = win::CreateFileA(device.c_str(), access, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, nullptr,
                          win::OPEN_EXISTING, 0, nullptr);
  }
  ~VolumeHandle() {
    if (ok()) win::CloseHandle(h_);
  }
  VolumeHandle(const VolumeHandle&) = delete;
  VolumeHandle& operator=(const VolumeHandle&) = delete;
  bool ok() const { return h_ != win::INVALID_HANDLE_VALUE; }
  win::HANDLE get() const { return h_; }
  bool seek(std::uint64_t position) const {
    win::LONG high = static_cast<win::LONG>(position >> 32);
    return win::SetFilePointer(h_, static_cast<win::LONG>(position & 0xFFFFFFFFu), &high, win::FILE_BEGIN) !=
           win::INVALID_SET_FILE_POINTER;
  }

 private:
  win::HANDLE h_;
};

}  // namespace

bool beyond_library_reach(std::int64_t first, std::int64_t count, std::int64_t bps) {
  return volumar::IsNTPlatform() && (first + count) * bps > std::numeric_limits<std::int32_t>::max();
}

std::optional<std::vector<std::uint8_t>> read_far_sectors(char letter, std::uint64_t first, std::uint64_t count,
                                                          std::uint64_t bps) {
  VolumeHandle v(letter, win::GENERIC_READ);
  if (!v.ok() || !v.seek(first * bps)) return std::nullopt;
  std::vector<std::uint8_t> out(count * bps);
  std::size_t done = 0;
  // A short read is continued; only a read that delivers nothing ends it.
  while (done < out.size()) {
    win::DWORD got = 0;
    if (!win::ReadFile(v.get(), out.data() + done, static_cast<win::DWORD>(out.size() - done), &got, nullptr) ||
        got == 0)
      return std::nullopt;
    done += got;
  }
  return out;
}

bool write_volume_bytes(char letter, std::uint64_t position, const std::vector<std::uint8_t>& bytes) {
  VolumeHandle v(letter, win::GENERIC_READ | win::GENERIC_WRITE);
  if (!v.ok() || !v.seek(position)) return false;
  const auto low = static_cast<win::DWORD>(position), high = static_cast<win::DWORD>(position >> 32);
  const auto length = static_cast<win::DWORD>(bytes.size());
  if (!win::LockFile(v.get(), low, high, length, 0)) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    win::DWORD put = 0;
    if (!win::WriteFile(v.get(), bytes.data() + done, static_cast<win::DWORD>(bytes.size() - done), &put, nullptr) ||
        put == 0)
      break;
    done += put;
  }
  const bool ok = win::FlushFileBuffers(v.get()) && done == bytes.size();
  win::UnlockFile(v.get(), low, high, length, 0);
  return ok;
}

}  // namespace volumar_tool
