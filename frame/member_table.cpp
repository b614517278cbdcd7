#include "frame/member_table.h"

#include "frame/library_info.h"

namespace volumar {

std::string ClassInfo::progid() const { return std::string(kLibraryName) + "." + name; }

const char* member_kind_name(MemberKind kind) {
  switch (kind) {
    case MemberKind::Get: return "propget";
    case MemberKind::Put: return "propput";
    case MemberKind::PutRef: return "propputref";
    case MemberKind::Method: return "method";
  }
  return "";
}

}  // namespace volumar
