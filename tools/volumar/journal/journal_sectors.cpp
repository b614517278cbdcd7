#include "tools/volumar/journal/journal_sectors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <set>
#include <vector>

#include "format/boot_sector.h"

namespace volumar_tool {

std::vector<std::uint8_t> volume_bytes(const VolumeKey& key, std::uint64_t position, std::size_t length) {
  std::ifstream in(key.path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(key.base + position));
  std::vector<std::uint8_t> out(length);
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(length));
  out.resize(static_cast<std::size_t>(in.gcount()));
  return out;
}

bool put_volume_bytes(const VolumeKey& key, std::uint64_t position, const std::vector<std::uint8_t>& bytes) {
  const int fd = ::open(key.path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(key.base + position + done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<std::size_t>(put);
  }
  const bool flushed = done == bytes.size() && ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}

std::uint32_t journal_sector_size(const VolumeKey& key) {
  const auto boot = ondisk::decode_boot_sector(volume_bytes(key, 0, ondisk::boot::kRecordSize));
  return ondisk::boot_sector_problems(boot).empty() ? boot.bytes_per_sector : 512;
}

std::string sector_list(const JournalChange& change, std::uint32_t bps) {
  std::set<std::uint64_t> sectors;
  for (const JournalBlock& b : change.blocks)
    for (std::uint64_t s = b.position / bps; s <= (b.position + b.before.size() - 1) / bps; ++s) sectors.insert(s);
  std::string out;
  for (auto it = sectors.begin(); it != sectors.end();) {
    std::uint64_t first = *it, last = first;
    while (++it != sectors.end() && *it == last + 1) last = *it;
    if (!out.empty()) out += ",";
    out += std::to_string(first);
    if (last != first) out += '-' + std::to_string(last);
  }
  return out.empty() ? "-" : out;
}

}  // namespace volumar_tool
