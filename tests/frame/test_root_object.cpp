// The root object: the application object, the library file's resources
// (the type library read back as a real one), and module paths from the
// system's list of loaded modules.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <map>
#include <thread>

#include "drw/drw_enumerations.h"
#include "format/byte_order.h"
#include "frame/application_object.h"
#include "frame/root_object.h"
#include "frame/root_object_resources.h"
#include "platform/automation/automation_error.h"
#include "platform/last_error.h"
#include "platform/module_info.h"
#include "server/class_registry.h"
#include "tests/fixtures/temp_dir.h"

using namespace volumar;

namespace {

std::string executable() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

const std::filesystem::path kSharedLibrary = std::filesystem::path(VOLUMAR_BINARY_DIR) / "libvolumar10.so";

// What GetModuleFileName_Volm must give for a module at `path`.
String padded(const std::string& path) {
  String out(path.begin(), path.end());
  if (out.size() < 206) out += u'\0';
  out.resize(206, u' ');
  return out;
}

void expect_error(std::int32_t number, const std::function<void()>& call) {
  try {
    call();
    ADD_FAILURE() << "expected error " << number;
  } catch (const win::AutomationError& e) {
    EXPECT_EQ(e.number(), number) << e.description();
  }
}

// The parts of an MSFT type library the tests look at.
class MsftReader {
 public:
  explicit MsftReader(win::Bytes b) : b_(std::move(b)) {}
  std::uint32_t u32(std::size_t at) const { return at + 4 <= b_.size() ? ondisk::le32(b_.data(), at) : 0; }
  std::uint32_t typeinfo_count() const { return u32(0x20); }
  std::uint32_t lcid() const { return u32(0x0c); }
  std::uint32_t syskind() const { return u32(0x14) & 0xF; }
  std::uint32_t version() const { return u32(0x18); }
  // Every typeinfo by name: its kind and the member ids of its functions.
  struct TypeInfo {
    std::uint32_t kind = 0;
    std::vector<win::DISPID> ids;
  };
  std::map<std::string, TypeInfo> typeinfos() const {
    const std::size_t offsets = 0x54 + ((u32(0x14) & 0x100) ? 4 : 0);
    const std::size_t segdir = offsets + typeinfo_count() * 4;
    const std::size_t typeinfo_tab = u32(segdir + 0 * 16);
    const std::size_t name_tab = u32(segdir + 7 * 16);
    std::map<std::string, TypeInfo> out;
    for (std::uint32_t i = 0; i < typeinfo_count(); ++i) {
      const std::size_t ti = typeinfo_tab + u32(offsets + i * 4);
      const std::size_t name = name_tab + u32(ti + 0x34);
      if (name + 12 > b_.size()) continue;
      const std::size_t length = b_[name + 8];
      std::string text(reinterpret_cast<const char*>(b_.data() + name + 12), length);
      TypeInfo info;
      info.kind = u32(ti) & 0xF;
      const std::size_t functions = u32(ti + 0x18) & 0xFFFF;
      const std::size_t members = u32(ti + 4);
      const std::size_t record_length = u32(members);
      for (std::size_t f = 0; f < functions; ++f)
        info.ids.push_back(static_cast<win::DISPID>(u32(members + record_length + (f + 1) * 4)));
      out[text] = info;
    }
    return out;
  }

 private:
  win::Bytes b_;
};

constexpr std::uint32_t TKIND_ENUM = 0, TKIND_DISPATCH = 4, TKIND_COCLASS = 5;

}  // namespace

// ---- application object ----

TEST(RootObject, TheApplicationObjectIsOnePerThreadAndDescribesTheLibraryFile) {
  clsQzVolumarA a, b;
  ObjectRef app = a.get_GetProStdProperties();
  ASSERT_TRUE(app);
  EXPECT_EQ(app, b.get_GetProStdProperties());
  ObjectRef there;
  std::thread([&] { there = clsQzVolumarA().get_GetProStdProperties(); }).join();
  EXPECT_NE(there, app);

  // Linked into this test program, the library's file is the program.
  const std::filesystem::path exe = executable();
  EXPECT_EQ(library_file_path(), exe.string());
  EXPECT_EQ(win::get_property(app, u"Path"), Variant(exe.parent_path().u16string()));
  EXPECT_EQ(win::get_property(app, u"EXEName"), Variant(exe.filename().u16string()));
  EXPECT_EQ(win::get_property(app, u"Title"), Variant(u"Volumar10"));
  EXPECT_EQ(win::get_property(app, u"major"), Variant(Integer{1}));
  EXPECT_EQ(win::get_property(app, u"Minor"), Variant(Integer{0}));
  EXPECT_EQ(win::get_property(app, u"Revision"), Variant(Integer{0}));
  EXPECT_EQ(win::get_property(app, u"ProductName"), Variant(u"Volumar10"));
  EXPECT_FALSE(win::get_property(app, u"FileDescription").string_value().empty());
  expect_error(win::kErrNotSupported, [&] { win::put_property(app, u"Title", Variant(u"x")); });
  expect_error(win::kErrNotSupported, [&] { win::get_property(app, u"hInstance"); });
}

TEST(RootObject, TheApplicationObjectIsNoLiveObjectOfTheServer) {
  clsQzVolumarA().get_GetProStdProperties();
  EXPECT_EQ(DllCanUnloadNow(), win::S_OK);
}

// ---- resources ----

TEST(RootObject, StringsAndPicturesAreNotFound) {
  clsQzVolumarA root;
  Long id = 101;
  LoadResConstants icon = vbResIcon;
  expect_error(win::kErrResourceNotFound, [&] { root.get_GetProResStrings(id); });
  expect_error(win::kErrResourceNotFound, [&] { root.get_GetProResPicture(id, icon); });
  Long one = 1;
  expect_error(win::kErrResourceNotFound, [&] { root.get_GetProResStrings(one); });
}

TEST(RootObject, APictureKindBeyondAnIntegerOverflowsBeforeTheLookup) {
  ObjectRef root = std::make_shared<clsQzVolumarA>();
  expect_error(win::kErrOverflow, [&] {
    win::get_property(root, u"GetProResPicture", {Variant(Long{1}), Variant(Long{32768})});
  });
  expect_error(win::kErrResourceNotFound, [&] {
    win::get_property(root, u"GetProResPicture", {Variant(Long{1}), Variant(Long{-32768})});
  });
}

TEST(RootObject, ResourceDataHasOnlyTheTypeLibraryAndTheVersionRecord) {
  clsQzVolumarA root;
  Long one = 1, two = 2;
  Variant typelib{u"typelib"}, named{u"TYPELIB"}, other{u"CUSTOM"}, version{Long{16}}, version_text{u"#16"},
      icon{Long{3}}, empty;
  Variant bytes = root.get_GetProResData(one, named);
  ASSERT_EQ(bytes.type(), win::VarType::ByteArray);
  EXPECT_EQ(root.get_GetProResData(one, typelib), bytes);
  auto resource = type_library_resource();
  EXPECT_EQ(bytes.bytes_value(), win::Bytes(resource.begin(), resource.end()));
  expect_error(win::kErrResourceNotFound, [&] { root.get_GetProResData(two, named); });
  expect_error(win::kErrResourceNotFound, [&] { root.get_GetProResData(one, other); });
  expect_error(win::kErrResourceNotFound, [&] { root.get_GetProResData(one, icon); });
  expect_error(win::kErrResourceNotFound, [&] { root.get_GetProResData(one, empty); });

  const Variant record = root.get_GetProResData(one, version);
  EXPECT_EQ(root.get_GetProResData(one, version_text), record);
  const win::Bytes& v = record.bytes_value();
  ASSERT_GE(v.size(), 92u);
  EXPECT_EQ(ondisk::le16(v.data(), 0), v.size());  // the record's own length
  EXPECT_EQ(ondisk::le16(v.data(), 2), 52);        // fixed file information follows the key
  EXPECT_EQ(ondisk::le32(v.data(), 40), 0xFEEF04BDu);
  EXPECT_EQ(ondisk::le32(v.data(), 48), 0x00010000u);  // file version 1.0
}

TEST(RootObject, TheTypeLibraryIsACompiledLibraryHoldingEveryDispatchId) {
  if (!generated::kTypeLibraryIsCompiled) GTEST_SKIP() << "built without an IDL compiler";
  auto span = type_library_resource();
  MsftReader tlb(win::Bytes(span.begin(), span.end()));
  ASSERT_GT(span.size(), 0x54u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(span.data()), 4), "MSFT");
  EXPECT_EQ(tlb.lcid(), 0u);
  EXPECT_EQ(tlb.syskind(), 1u);          // 32-bit Windows
  EXPECT_EQ(tlb.version(), 1u);          // 1.0
  EXPECT_EQ(tlb.typeinfo_count(), 13u);  // five classes, five interfaces, three enumerations

  const auto infos = tlb.typeinfos();
  for (const ClassInfo* c : library_classes()) {
    SCOPED_TRACE(c->name);
    ASSERT_TRUE(infos.count(c->name));
    EXPECT_EQ(infos.at(c->name).kind, TKIND_COCLASS);
    ASSERT_TRUE(infos.count(c->interface_name));
    EXPECT_EQ(infos.at(c->interface_name).kind, TKIND_DISPATCH);
    std::vector<win::DISPID> expected;
    for (const MemberInfo& m : c->members()) expected.push_back(m.id);
    EXPECT_EQ(infos.at(c->interface_name).ids, expected);
  }
  for (const EnumDesc& e : drw_enumerations()) {
    ASSERT_TRUE(infos.count(e.name)) << e.name;
    EXPECT_EQ(infos.at(e.name).kind, TKIND_ENUM);
  }
  const std::string text(reinterpret_cast<const char*>(span.data()), span.size());
  for (const char* import : {"stdole2.tlb", "vba_runtime.tlb", "vbrun_runtime.tlb"})
    EXPECT_NE(text.find(import), std::string::npos) << import;
}

// ---- module paths ----

TEST(RootObject, ModuleFileNameOfTheLibraryLinkedIntoTheProgramIsTheProgram) {
  clsQzVolumarA root;
  const String exe = padded(executable());
  for (const char16_t* name : {u"volumar10", u"volumar10.dll", u"", u"no_such_module", u"kernel32.dll"}) {
    String n = name;
    EXPECT_EQ(root.GetModuleFileName_Volm(n), exe) << std::string(n.begin(), n.end());
  }
}

TEST(RootObject, ModuleFileNameNamesTheLoadedSharedLibrary) {
  ASSERT_TRUE(std::filesystem::exists(kSharedLibrary)) << kSharedLibrary;
  win::HMODULE module = win::LoadLibraryA(kSharedLibrary.c_str());
  ASSERT_TRUE(module);
  const std::string real = std::filesystem::canonical(kSharedLibrary).string();
  clsQzVolumarA root;
  for (const char16_t* name : {u"volumar10", u"volumar10.dll", u"VOLUMAR10.DLL"}) {
    String n = name;
    const String result = root.GetModuleFileName_Volm(n);
    EXPECT_EQ(result.size(), 206u);
    EXPECT_EQ(result, padded(real)) << std::string(n.begin(), n.end());
  }
  EXPECT_EQ(win::GetModuleHandleA("volumar10"), module);
  EXPECT_EQ(win::GetModuleHandleA("libvolumar10.so"), module);
  EXPECT_EQ(win::GetModuleHandleA("volumar1"), nullptr);
  EXPECT_TRUE(win::FreeLibrary(module));
  EXPECT_FALSE(win::FreeLibrary(module));
}

TEST(RootObject, APathLongerThanTheBufferIsCutTo206Characters) {
  fixtures::TempDir dir("volumar-module");
  std::filesystem::path deep = dir.path();
  while (deep.string().size() < 230) deep /= std::string(40, 'd');
  std::filesystem::create_directories(deep);
  const std::filesystem::path copy = deep / "libvolumar10.so";
  std::filesystem::copy_file(kSharedLibrary, copy);
  win::HMODULE module = win::LoadLibraryA(copy.c_str());
  ASSERT_TRUE(module);
  const std::string real = std::filesystem::canonical(copy).string();
  ASSERT_GT(real.size(), 206u);

  String name(real.begin(), real.end());  // a full path names exactly that file
  const String result = clsQzVolumarA().GetModuleFileName_Volm(name);
  EXPECT_EQ(result, String(real.begin(), real.begin() + 206));

  char buf[300];
  std::fill(std::begin(buf), std::end(buf), 'x');
  EXPECT_EQ(win::GetModuleFileNameA(module, buf, 206), 206u);
  EXPECT_EQ(win::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(buf[206], 'x');  // nothing written past the buffer
  EXPECT_TRUE(win::FreeLibrary(module));
}

TEST(RootObject, ModuleFileNameByDispatchLeavesTheNameAlone) {
  ObjectRef root = std::make_shared<clsQzVolumarA>();
  Variant name{u"volumar10"};
  Variant result = win::call_method(root, u"GetModuleFileName_Volm", {Variant::ref(name)});
  EXPECT_EQ(result.string_value().size(), 206u);
  EXPECT_EQ(name, Variant(u"volumar10"));
}
