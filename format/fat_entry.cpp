#include "format/fat_entry.h"

#include "format/byte_order.h"

namespace ondisk {

std::uint32_t entry_max(FatType type) {
  switch (type) {
    case FatType::Fat12: return kFat12Max;
    case FatType::Fat16: return kFat16Max;
    case FatType::Fat32: return kFat32Max;
  }
  return kFat32Max;
}

unsigned entry_bits(FatType type) { return type == FatType::Fat12 ? 12 : type == FatType::Fat16 ? 16 : 32; }

EntryState entry_state(FatType type, std::uint32_t v) {
  if (type != FatType::Fat32) v &= entry_max(type);
  if (v == kFatFree) return EntryState::Free;
  if (v >= reserved_min(type) && v <= reserved_max(type)) return EntryState::Reserved;
  if (v == bad_entry(type)) return EntryState::Bad;
  if (v >= end_of_chain_min(type) && v <= end_of_chain(type)) return EntryState::EndOfChain;
  return EntryState::Link;
}

EntryRange state_range(FatType type, EntryState state) {
  switch (state) {
    case EntryState::Free: return {kFatFree, kFatFree};
    case EntryState::Reserved: return {reserved_min(type), reserved_max(type)};
    case EntryState::Bad: return {bad_entry(type), bad_entry(type)};
    case EntryState::EndOfChain: return {end_of_chain_min(type), end_of_chain(type)};
    case EntryState::Link: break;
  }
  return {1, 0};  // empty
}

std::uint64_t entry_byte_offset(FatType type, std::uint64_t cluster) {
  switch (type) {
    case FatType::Fat12: return cluster * 3 / 2;
    case FatType::Fat16: return cluster * 2;
    case FatType::Fat32: return cluster * 4;
  }
  return 0;
}

unsigned entry_span(FatType type) { return type == FatType::Fat32 ? 4 : 2; }

std::uint64_t entries_in(FatType type, std::uint64_t bytes) {
  switch (type) {
    case FatType::Fat12: return bytes * 2 / 3;
    case FatType::Fat16: return bytes / 2;
    case FatType::Fat32: return bytes / 4;
  }
  return 0;
}

std::uint32_t decode_entry(FatType type, std::uint64_t cluster, const std::uint8_t* at) {
  switch (type) {
    case FatType::Fat12: {
      const std::uint16_t pair = le16(at, 0);
      return (cluster & 1) ? pair >> 4 : pair & kFat12Max;
    }
    case FatType::Fat16: return le16(at, 0);
    case FatType::Fat32: return le32(at, 0);
  }
  return 0;
}

void encode_entry(FatType type, std::uint64_t cluster, std::uint8_t* at, std::uint32_t value) {
  switch (type) {
    case FatType::Fat12: {
      // An odd entry takes the high nibble of its first byte, an even one
      // the low nibble of its second; the other nibble is the neighbour's.
      std::uint16_t pair = le16(at, 0);
      pair = (cluster & 1) ? static_cast<std::uint16_t>((pair & 0x000F) | ((value & kFat12Max) << 4))
                           : static_cast<std::uint16_t>((pair & 0xF000) | (value & kFat12Max));
      put_le16(at, 0, pair);
      break;
    }
    case FatType::Fat16: put_le16(at, 0, static_cast<std::uint16_t>(value)); break;
    case FatType::Fat32: put_le32(at, 0, value); break;
  }
}

std::uint32_t get_entry(FatType type, std::span<const std::uint8_t> fat, std::uint64_t cluster) {
  return decode_entry(type, cluster, fat.data() + entry_byte_offset(type, cluster));
}

void put_entry(FatType type, std::span<std::uint8_t> fat, std::uint64_t cluster, std::uint32_t value) {
  encode_entry(type, cluster, fat.data() + entry_byte_offset(type, cluster), value);
}

}  // namespace ondisk
