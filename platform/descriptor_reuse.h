// Descriptors of raw images kept open after their last handle closes, so
// that a short-lived host that opens one image thousands of times (a script
// reading sector after sector) pays for one open. Off unless the host turns
// it on: a long-lived host would keep files open that a user may want to
// unmount. A parked descriptor is given back only for the same path and open
// flags, while its file is still linked and unchanged since it was opened
// (same change time and size): a file deleted, replaced by another renamed
// over it, written or chmod-ed in between is opened anew. (One renamed away
// with another put at its path is not seen, as with any descriptor a program
// keeps.) Never while a syscall table other than the real one is installed,
// so that every fault rule still sees its opens.
#pragma once
#include <sys/stat.h>

#include <string>

namespace win {

void set_descriptor_reuse(bool on);

// A parked descriptor for path opened with flags, taken out of the cache, with
// the file's status in st; -1 when there is none.
int take_parked_descriptor(const std::string& path, int flags, struct stat& st);

// Parks fd (a regular file holding no locks; st its status when opened) and
// returns true, or returns false and leaves fd to the caller to close. A file
// written since it was opened no longer matches st, and is opened anew.
bool park_descriptor(const std::string& path, int flags, int fd, const struct stat& st);

// Closes every parked descriptor.
void close_parked_descriptors();

}  // namespace win
