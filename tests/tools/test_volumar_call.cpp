// volumar call, the script host: every member of every class driven by
// name and by dispatch id with the same outcome, the member tables as
// --list prints them, and the step syntax and value printing.
#include <map>

#include "platform/ansi_code_page.h"
#include "platform/utf8.h"
#include "server/class_registry.h"
#include "tests/tools/volumar_transcript.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

std::string hex_id(win::DISPID id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#0x%08x", static_cast<unsigned>(id));
  return buf;
}

// Steps that put an object of the class into a state where the member can
// do its work, and the arguments to call it with.
struct MemberUse {
  std::vector<std::string> prelude;
  std::string args;  // "(...)" or "" for a get without arguments; "=VALUE" for a put
};

const std::vector<std::string> kSelect{"DrivePP=\"C:\"", "DiskSectionPP=4", "ClusterFoundPP=40"};

MemberUse use_of(const std::string& cls, const volumar::MemberInfo& m) {
  const std::string name = m.name;
  auto with = [](std::vector<std::string> prelude, std::string args) {
    return MemberUse{std::move(prelude), std::move(args)};
  };
  if (cls == "clsQzVolumarA") {
    if (m.kind == volumar::MemberKind::PutRef) return with({"$o=GetProStdProperties"}, "=$o");
    static const std::map<std::string, std::string> args{{"GetProResStrings", "(101)"},
                                                         {"GetProResPicture", "(101,0)"},
                                                         {"GetProResData", "(101,\"CUSTOM\")"},
                                                         {"GetModuleFileName_Volm", "($name)"}};
    auto a = args.find(name);
    return with({"$name=\"\""}, a == args.end() ? "" : a->second);
  }
  if (cls == "clsQzVolmCustomFileExtA") {
    static const std::map<std::string, MemberUse> uses{
        {"RegExtension", {{}, "(\".xyz\",\"Xyz.Document\",\"Xyz document\",\"C:\\\\App\\\\app.exe\")"}},
        {"AssociateFileExtension",
         {{"$id=\"Abc.Doc\""}, "(\"C:\\\\App\\\\app.exe\",\".abc\",$id,\"Abc doc\",\"C:\\\\App\\\\app.ico\")"}},
        {"AssociateFileCommand",
         {{"RegExtension(\".xyz\",\"Xyz.Document\",\"Xyz document\",\"app\")"}, "(\".xyz\",\"print\",\"app /p\")"}}};
    return uses.at(name);
  }
  // The sector editor.
  if (m.kind == volumar::MemberKind::PutRef) return with({"$c=GetBRNItems"}, "=$c");
  if (m.kind == volumar::MemberKind::Put) {
    static const std::map<std::string, std::string> values{
        {"DrivePP", "\"C:\""}, {"DiskSectionPP", "3"}, {"ClusterFoundPP", "41"}, {"BytesPerSectorPP", "1024"}};
    auto v = values.find(name);
    std::string value = v != values.end()                              ? v->second
                        : m.params[0].type.vt == win::VarType::String  ? "\"text\""
                        : m.params[0].type.vt == win::VarType::Boolean ? "True"
                                                                       : "7";
    return with(name == "DrivePP" ? std::vector<std::string>{} : kSelect, "=" + value);
  }
  static const std::map<std::string, MemberUse> uses{
      {"ReadSectorData", {kSelect, "(16)"}},
      {"ChangeCollectionItem",
       {{"DrivePP=\"C:\"", "ClusterFoundPP=40", "$rows=ReadSectorDataWhole", "$new=Nothing"},
        "($rows,3,\"ABCDEFGHIJKLMNOPQRST\",$new)"}},
      {"WriteSectorData", {{"DrivePP=\"C:\"", "ClusterFoundPP=40", "DataPP=\"written\""}, ""}},
      {"WriteSectorData16BLength", {{"DrivePP=\"C:\"", "ClusterFoundPP=40", "DataPP=\"sixteen chars and more\""}, ""}},
      {"WriteSectorDataWhole", {{"DrivePP=\"C:\"", "ClusterFoundPP=40", "$rows=GetBRNItems"}, "($rows)"}},
      {"ShowSectorInEditControlPP", {kSelect, "(,True)"}},
      {"FindCluster", {kSelect, "(2)"}},
      {"GetCrypEncString", {{}, "(\"Hello 42\")"}},
      {"GetCrypDecString", {{"$e=GetCrypEncString(\"Hello 42\")"}, "($e)"}},
      {"ReadSectorDataZEV", {{}, "(\"C:\",40,32)"}},
      {"IsDriveReady", {{}, "(\"C:\")"}},
      {"IsThisRestricted", {{}, "(\"C:\")"}},
      {"Add_Trailing_Slash", {{}, "(\" C: \")"}},
      {"ValidateDriveAndReadWriteTest", {{}, "(\"C:\")"}},
      {"SizeDRWForm", {{}, "(Nothing,Nothing)"}},
  };
  auto u = uses.find(name);
  if (u != uses.end()) return u->second;
  return with(kSelect, "");
}

class VolumarCall : public ::testing::Test {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat");
    original = make_image(dir, "orig.img", floppy());
  }
  // A run on a fresh copy of the image and a fresh registry.
  fixtures::ToolRun call(const std::string& cls, const std::vector<std::string>& steps, const std::string& tag) {
    const auto image = dir.file(tag + ".img");
    std::filesystem::copy_file(original, image, std::filesystem::copy_options::overwrite_existing);
    std::vector<std::string> args{"-d",         "C=" + image.string() + ",folder=" + dir.path().string(),
                                  "--disk",     image.string(),
                                  "--registry", dir.file(tag + ".reg.db").string(),
                                  "call",       cls};
    args.insert(args.end(), steps.begin(), steps.end());
    auto run = volumar(args);
    last_image = image;
    return run;
  }
  TempDir dir{"volumar-call"};
  std::filesystem::path original, last_image;
};

TEST_F(VolumarCall, EveryMemberOfEveryClassAnswersByNameAndByDispatchIdAlike) {
  int members = 0;
  for (const volumar::ClassInfo* info : volumar::library_classes()) {
    const std::string cls = info->name;
    if (info->members().empty()) {
      const auto run = call(cls, {}, "empty");
      VOLUMAR_EXPECT_RUN(run, 0);
      EXPECT_TRUE(run.out.empty());
      continue;
    }
    for (const volumar::MemberInfo& m : info->members()) {
      SCOPED_TRACE(cls + "." + m.name + " " + volumar::member_kind_name(m.kind));
      const MemberUse use = use_of(cls, m);
      std::vector<std::string> by_name = use.prelude, by_id = use.prelude;
      by_name.push_back(m.name + use.args);
      by_id.push_back(hex_id(m.id) + use.args);
      if (m.kind != volumar::MemberKind::Method && m.kind != volumar::MemberKind::Get) {
        // A put or putref, then the get that reads it back.
        by_name.push_back(m.name);
        by_id.push_back(hex_id(m.id));
      }
      const auto named = call(cls, by_name, "name");
      const auto named_image = read_file(last_image);
      const auto numbered = call(cls, by_id, "id");
      for (const char* unreached : {"error 438", "error 449", "error 450", "error 13"})
        EXPECT_EQ(named.err.find(unreached), std::string::npos) << named.describe();
      EXPECT_FALSE(named.out.empty()) << named.describe();
      EXPECT_EQ(numbered.exit_code, named.exit_code) << numbered.describe();
      auto replace_all = [&](std::string text) {
        for (std::size_t at; (at = text.find(hex_id(m.id))) != std::string::npos;)
          text.replace(at, hex_id(m.id).size(), m.name);
        return text;
      };
      EXPECT_EQ(replace_all(numbered.out), named.out);
      EXPECT_EQ(replace_all(numbered.err), named.err);
      EXPECT_TRUE(read_file(last_image) == named_image) << "by id the volume changes as by name";
      ++members;
    }
  }
  EXPECT_EQ(members, 8 + 3 + 90);
}

TEST_F(VolumarCall, ListPrintsTheMemberTableInFunctionTableOrder) {
  for (const volumar::ClassInfo* info : volumar::library_classes()) {
    const auto run = volumar({"call", "--list", info->name});
    VOLUMAR_EXPECT_RUN(run, 0);
    const auto out = lines(run.out);
    ASSERT_EQ(out.size(), info->members().size()) << info->name;
    for (std::size_t i = 0; i < out.size(); ++i) {
      const auto& m = info->members()[i];
      const std::string kind = m.kind == volumar::MemberKind::Get      ? "get"
                               : m.kind == volumar::MemberKind::Put    ? "put"
                               : m.kind == volumar::MemberKind::PutRef ? "putref"
                                                                       : "method";
      EXPECT_EQ(out[i].rfind(std::string(m.name) + " " + kind + " " + hex_id(m.id).substr(1) + " (", 0), 0u) << out[i];
    }
  }
  const auto show = lines(volumar({"call", "--list", "Volumar10.clsQzVolmDrwA"}).out);
  EXPECT_NE(std::find(show.begin(), show.end(),
                      "ShowSectorInEditControlPP method 0x6003002f (oETControl As Object ref opt, "
                      "bReadSectorDataWhole As Boolean ref opt = False) As Variant"),
            show.end());
  EXPECT_NE(std::find(show.begin(), show.end(), "DrivePP put 0x6803001d (RHS As String val)"), show.end());
  VOLUMAR_EXPECT_RUN(volumar({"call", "--list", "Scripting.FileSystemObject"}), 1);
  VOLUMAR_EXPECT_RUN(volumar({"call", "--list", "clsQzVolmDrwA", "DrivePP"}), 2);
}

TEST_F(VolumarCall, ValuesPrintAsTheirTypesAndByReferenceVariablesAfterTheCall) {
  const auto run = call(
      "clsQzVolmDrwA",
      {"DrivePP=\"C:\"", "HalfClusterPP", "EnablePP=True", "EnablePP", "FSO", "CaptionPP", "ClusterFoundPP=0xFFFFFFFF",
       "ClusterFoundPP", "#0x68030007=-5", "ClusterFoundPP", "DataPP=\"\\x00\\x01A\\r\\n\\\"\\\\\xC3\xA9\\x81\"",
       "DataPP", "$s=\"keep\"", "GetCrypEncString($s)", "GetBRNItems"},
      "values");
  VOLUMAR_EXPECT_RUN(run, 0);
  const auto out = lines(run.out);
  const std::vector<std::string> expected_start{
      "DrivePP <- \"C:\"",
      "HalfClusterPP = 1439.5",
      "EnablePP <- True",
      "EnablePP = True",
      "FSO = Nothing",
      "CaptionPP = \"\"",
      "ClusterFoundPP <- -1",
      "ClusterFoundPP = -1",
      "#0x68030007 <- -5",
      "ClusterFoundPP = -5",
      "DataPP <- \"\\x00\\x01A\\r\\n\\\"\\\\\xC3\xA9\\x81\"",
      "DataPP = \"\\x00\\x01A\\r\\n\\\"\\\\\xC3\xA9\\x81\"",
      "$s = \"keep\"",
  };
  ASSERT_EQ(out.size(), expected_start.size() + 3 + 32);
  for (std::size_t i = 0; i < expected_start.size(); ++i) EXPECT_EQ(out[i], expected_start[i]);
  EXPECT_EQ(out[13].rfind("GetCrypEncString = \"", 0), 0u);
  EXPECT_EQ(out[14], "  $s = \"keep\"");
  EXPECT_EQ(out[15], "GetBRNItems = Collection(32)");
  EXPECT_EQ(out[16], "  [1] 0");
  EXPECT_EQ(out[47], "  [32] 496");
}

TEST_F(VolumarCall, StringsPrintEscapedOrInUtf8) {
  // A string as given to a put, and as the put prints it back.
  const std::vector<std::pair<std::string, std::string>> kStrings{
      {"\"\"", "\"\""},
      {"\"plain text 123\"", "\"plain text 123\""},
      {"\"\\t\\x7F\\x80\\xA0\\xAD\\xFF\"", "\"\\x09\\x7F\xE2\x82\xAC\\xA0\\xAD\xC3\xBF\""},
      {"\"\\x81\\x8D\\x9D\"", "\"\\x81\\x8D\\x9D\""},
      {"\"\xF0\x9F\x98\x80 and \xE4\xB8\xAD\"", "\"\xF0\x9F\x98\x80 and \xE4\xB8\xAD\""},
      {"\"a\\\\b\\\"c\\r\\n\"", "\"a\\\\b\\\"c\\r\\n\""},
  };
  std::vector<std::string> steps;
  for (const auto& [given, shown] : kStrings) steps.push_back("DataPP=" + given);
  const auto run = call("clsQzVolmDrwA", steps, "strings");
  VOLUMAR_EXPECT_RUN(run, 0);
  const auto out = lines(run.out);
  ASSERT_EQ(out.size(), kStrings.size()) << run.out;
  for (std::size_t i = 0; i < kStrings.size(); ++i) EXPECT_EQ(out[i], "DataPP <- " + kStrings[i].second);
}

TEST_F(VolumarCall, SectorRowsPrintUnderTheirKeysWithEveryByteShown) {
  // Sector 40 holds every byte value in order and then backwards.
  std::vector<std::uint8_t> all(512);
  for (int i = 0; i < 512; ++i) all[i] = static_cast<std::uint8_t>(i < 256 ? i : 511 - i);
  write_bytes(original, 40 * 512, all);
  const auto run = call("clsQzVolmDrwA", {"DrivePP=\"C:\"", "ClusterFoundPP=40", "ReadSectorDataWhole"}, "rows");
  VOLUMAR_EXPECT_RUN(run, 0);
  const auto out = lines(run.out);
  ASSERT_EQ(out.size(), 3u + 32u) << run.out;
  EXPECT_EQ(out[2], "ReadSectorDataWhole = Collection(32)");
  for (std::size_t row = 0; row < 32; ++row) {
    // Each byte as the row text shows it, then quoted as a string prints.
    std::string text;
    for (std::size_t k = 0; k < 16; ++k) {
      const std::uint8_t b = all[row * 16 + k];
      const char16_t c = b < 0x20 ? u'.' : win::ansi_char(b);
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      if (c == u'"' || c == u'\\')
        text += std::string("\\") + static_cast<char>(c);
      else if (c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0xA0 || c == 0xAD)
        text += hex;
      else
        text += win::utf16_to_utf8(std::u16string(1, c));
    }
    EXPECT_EQ(out[3 + row],
              "  [" + std::to_string(row + 1) + "] KEY" + std::to_string(row * 16) + " = \"" + text + "\"");
  }
}

TEST_F(VolumarCall, ByReferenceArgumentsComeBackChanged) {
  const auto run =
      call("clsQzVolmCustomFileExtA",
           {"$id=\"Abc.Doc\"",
            "$r=AssociateFileExtension(\"C:\\\\App\\\\app.exe\",\".abc\",$id,\"Abc doc\",\"C:\\\\i.ico\")", "$id"},
           "byref");
  VOLUMAR_EXPECT_RUN(run, 0);
  EXPECT_EQ(lines(run.out), (std::vector<std::string>{"$id = \"Abc.Doc\"", "AssociateFileExtension = 0",
                                                      "  $id = \"Abc.Doc\\\\shell\\\\open\\\\command\"",
                                                      "$id = \"Abc.Doc\\\\shell\\\\open\\\\command\""}))
      << run.out;
  // The rows collection that ChangeCollectionItem hands back through its last argument.
  const auto rows =
      call("clsQzVolmDrwA",
           {"DrivePP=\"C:\"", "ClusterFoundPP=40", "$rows=ReadSectorDataWhole", "$new=Nothing",
            "ChangeCollectionItem($rows,1,\"ABCDEFGHIJKLMNOPQRST\",$new)", "$n=#0x6003002b($rows,1,\"x\",$new)"},
           "rows");
  VOLUMAR_EXPECT_RUN(rows, 0);
  const auto out = lines(rows.out);
  auto new_at = std::find(out.begin(), out.end(), "  $new = Collection(32)");
  ASSERT_NE(new_at, out.end()) << rows.out;
  EXPECT_EQ(*(new_at + 1), "    [1] \"ABCDEFGHIJKLMNOP\"");
}

TEST_F(VolumarCall, RunTimeErrorsEndTheScriptWithExitOne) {
  const auto run =
      call("clsQzVolmDrwA", {"DrivePP=\"C:\"", "ClusterFoundPP=40", "ReadSectorData(504)", "ClusterFoundPP"}, "error");
  VOLUMAR_EXPECT_RUN(run, 1);
  EXPECT_EQ(lines(run.out).size(), 2u) << "the steps after the error do not run";
  EXPECT_NE(run.err.find("ReadSectorData: error 9: "), std::string::npos) << run.err;

  const auto unknown = call("clsQzVolmDrwA", {"NoSuchMember"}, "unknown");
  VOLUMAR_EXPECT_RUN(unknown, 1);
  EXPECT_NE(unknown.err.find("NoSuchMember: error 438: "), std::string::npos) << unknown.err;
  const auto bad_id = call("clsQzVolmDrwA", {"#0x12345678"}, "badid");
  VOLUMAR_EXPECT_RUN(bad_id, 1);
  EXPECT_NE(bad_id.err.find("#0x12345678: error 438"), std::string::npos) << bad_id.err;
  const auto overflow = call("clsQzVolmDrwA", {"ClusterFoundPP=99999999999"}, "overflow");
  VOLUMAR_EXPECT_RUN(overflow, 1);
  EXPECT_NE(overflow.err.find("ClusterFoundPP: error 6: "), std::string::npos) << overflow.err;

  const auto no_class = call("clsNoSuchThing", {}, "noclass");
  VOLUMAR_EXPECT_RUN(no_class, 1);
  EXPECT_NE(no_class.err.find("429"), std::string::npos) << no_class.err;
}

TEST_F(VolumarCall, MalformedStepsAreUsageErrorsAndRunNothing) {
  for (const char* step :
       {"Name(", "Name=", "$=Foo", "Name(\"open)", "Name(1 2)", "Name(abc)", "#xyz", "9Name", "Name(\"\\x4\")"}) {
    const auto run = call("clsQzVolmDrwA", {"DataPP=\"x\"", step}, "syntax");
    VOLUMAR_EXPECT_RUN(run, 2);
    EXPECT_TRUE(run.out.empty()) << step << ": " << run.out;
  }
}

TEST_F(VolumarCall, AnyRegisteredProgIdAndThePlatformsOwnObjects) {
  const auto fso = call("Scripting.FileSystemObject", {"$d=GetDrive(\"C:\")"}, "fso");
  VOLUMAR_EXPECT_RUN(fso, 0);
  EXPECT_EQ(fso.out.rfind("GetDrive = Object(", 0), 0u) << fso.out;
  const auto missing = call("Scripting.FileSystemObject", {"GetDrive(\"Q:\")"}, "fsoq");
  VOLUMAR_EXPECT_RUN(missing, 1);
  const auto companion = call("QzCommon10.clsQzCommon10A", {}, "companion");
  VOLUMAR_EXPECT_RUN(companion, 0);
}

}  // namespace
}  // namespace tooltest

namespace tooltest {
namespace {

TEST_F(VolumarCall, AScriptFileRunsAfterTheCommandLinesStepsAsIfTyped) {
  const std::vector<std::string> steps{"ClusterFoundPP=40", "ReadSectorData(16)", "NextSectorPP", "ClusterFoundPP"};
  const auto typed = call(
      "clsQzVolmDrwA",
      [&] {
        std::vector<std::string> all{"DrivePP=\"C:\""};
        all.insert(all.end(), steps.begin(), steps.end());
        return all;
      }(),
      "typed");
  VOLUMAR_EXPECT_RUN(typed, 0);
  // CR LF and blank lines are a file's, not the steps'.
  const auto script = dir.file("steps.txt");
  std::ofstream(script) << steps[0] << "\r\n\n  \n" << steps[1] << "\n" << steps[2] << "\r\n" << steps[3];
  const auto from_file = call("clsQzVolmDrwA", {"DrivePP=\"C:\"", "--script", script.string()}, "file");
  VOLUMAR_EXPECT_RUN(from_file, 0);
  EXPECT_EQ(from_file.out, typed.out);

  std::ofstream(script) << "ClusterFoundPP=40\nName(\n";
  const auto bad = call("clsQzVolmDrwA", {"--script", script.string()}, "bad");
  VOLUMAR_EXPECT_RUN(bad, 2);
  EXPECT_TRUE(bad.out.empty()) << "a malformed line runs nothing";
  EXPECT_NE(bad.err.find("steps.txt:2: step 'Name('"), std::string::npos) << bad.err;
  for (const std::string& missing : {dir.file("none.txt").string(), dir.path().string()}) {
    const auto run = call("clsQzVolmDrwA", {"--script", missing}, "missing");
    VOLUMAR_EXPECT_RUN(run, 2);
    EXPECT_NE(run.err.find(missing + ": "), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace tooltest

namespace tooltest {
namespace {

// The registry store is opened by the first member that uses it, so a
// script of sectors needs no home folder and leaves no store behind.
TEST_F(VolumarCall, TheRegistryStoreIsOpenedOnlyForAMemberThatUsesIt) {
  expect_transcript(R"(
$ HOME=home volumar -d C=f.img --journal j.db call clsQzVolmDrwA "${SECTORS[@]}"
DrivePP <- "C:"
ClusterFoundPP <- 40
DataPP <- "hi"
WriteSectorData = True
$ HOME=/dev/null/home volumar -d C=f.img --journal j.db call clsQzVolmDrwA "${SECTORS[@]}"
DrivePP <- "C:"
ClusterFoundPP <- 40
DataPP <- "hi"
WriteSectorData = True
$ HOME=home volumar -d C=f.img --journal j.db --registry given.db call clsQzVolmDrwA "${SECTORS[@]}"
DrivePP <- "C:"
ClusterFoundPP <- 40
DataPP <- "hi"
WriteSectorData = True
$ find home; [ -e given.db ] || echo no given.db
home
no given.db
$ HOME=/dev/null/home volumar call clsQzVolmCustomFileExtA "$REG"
RegExtension = Empty
! volumar: cannot open the registry store /dev/null/home/.local/share/volumar10/registry.db: Not a directory
? 1
$ HOME=home volumar call clsQzVolmCustomFileExtA "$REG" && find home -name registry.db
RegExtension = Empty
home/.local/share/volumar10/registry.db
)",
                    "unset XDG_DATA_HOME; mkdir -p home; [ -e f.img ] || cp " + original.string() +
                        " f.img; SECTORS=('DrivePP=\"C:\"' ClusterFoundPP=40 'DataPP=\"hi\"' WriteSectorData); "
                        "REG='RegExtension(\".x\",\"X\",\"x\",\"app\")'");
}

}  // namespace
}  // namespace tooltest
