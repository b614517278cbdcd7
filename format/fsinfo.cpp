#include "format/fsinfo.h"

#include "format/byte_order.h"

namespace ondisk {

FsInfo decode_fsinfo(std::span<const std::uint8_t> s) {
  FsInfo info;
  if (s.size() < fsinfo::kRecordSize) return info;
  const std::uint8_t* p = s.data();
  info.valid = le32(p, fsinfo::kLeadSignature) == fsinfo::kLeadValue &&
               le32(p, fsinfo::kStructSignature) == fsinfo::kStructValue;
  info.free_count = le32(p, fsinfo::kFreeCount);
  info.next_free = le32(p, fsinfo::kNextFree);
  return info;
}

void encode_fsinfo(const FsInfo& info, std::span<std::uint8_t> s) {
  if (s.size() < fsinfo::kRecordSize) return;
  std::uint8_t* p = s.data();
  put_le32(p, fsinfo::kLeadSignature, fsinfo::kLeadValue);
  put_le32(p, fsinfo::kStructSignature, fsinfo::kStructValue);
  put_le32(p, fsinfo::kFreeCount, info.free_count);
  put_le32(p, fsinfo::kNextFree, info.next_free);
  put_le32(p, fsinfo::kTrailSignature, fsinfo::kTrailValue);
}

}  // namespace ondisk
