// 32-bit addresses for buffers, as a 32-bit program would hand the 9x
// service a pointer: the library registers a buffer and puts the address it
// receives into a record; the service resolves it back. Addresses are never
// 0, regions are kept apart by unmapped gaps, and an address is not handed
// out again soon after its buffer is unregistered.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

namespace win {

// The address of data[0]; data + k has address + k. 0 when the buffer is
// empty or the 32-bit space has no room.
DWORD register_address(void* data, std::size_t size);
// Unregisters the buffer whose first byte has this address; others are ignored.
void unregister_address(DWORD address);
// The memory of [address, address + length), which must lie inside one
// registered buffer; nullptr otherwise.
std::uint8_t* resolve_address(DWORD address, std::size_t length);

// Registration for a scope.
class AddressRegistration {
 public:
  AddressRegistration(void* data, std::size_t size) : address_(register_address(data, size)) {}
  ~AddressRegistration() {
    if (address_) unregister_address(address_);
  }
  AddressRegistration(const AddressRegistration&) = delete;
  AddressRegistration& operator=(const AddressRegistration&) = delete;
  DWORD address() const { return address_; }

 private:
  DWORD address_;
};

}  // namespace win
