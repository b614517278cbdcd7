// volumar --version against the project's version, which the build passes
// in apart from the generated header the program prints from.
#include <fstream>
#include <string>

#include "tests/tools/volumar_runner.h"
#include "volumar10/version.h"

namespace tooltest {
namespace {

const std::string kProjectVersion = VOLUMAR_PROJECT_VERSION;

TEST(VolumarVersion, EachSpellingPrintsTheProjectVersionAloneAndRunsNoCommand) {
  const std::vector<std::vector<std::string>> invocations = {
      {"--version"},
      {"-V"},
      {"--read-only", "--version"},
      {"-V", "cipher", "encode", "abc"},  // the command is not run
      {"--version", "no-such-command"},
  };
  for (const auto& args : invocations) {
    const auto run = volumar(args);
    VOLUMAR_EXPECT_RUN(run, 0);
    EXPECT_EQ(run.out, "volumar " + kProjectVersion + "\n") << run.describe();
    EXPECT_EQ(run.err, "") << run.describe();
  }
}

TEST(VolumarVersion, HelpNamesTheOption) {
  const auto run = volumar({"--help"});
  VOLUMAR_EXPECT_RUN(run, 0);
  EXPECT_NE(run.out.find("-V,--version"), std::string::npos) << run.out;
}

TEST(VolumarVersion, ManPageAndLibraryHeaderCarryTheSameVersion) {
  std::ifstream page(std::string(VOLUMAR_BINARY_DIR) + "/tools/volumar.1");
  std::string title;
  ASSERT_TRUE(std::getline(page, title));
  EXPECT_NE(title.find("\"Volumar10 " + kProjectVersion + "\""), std::string::npos) << title;

  EXPECT_EQ(volumar::kVersionString, kProjectVersion);
  EXPECT_EQ(std::to_string(volumar::kVersionMajor) + "." + std::to_string(volumar::kVersionMinor) + "." +
                std::to_string(volumar::kVersionPatch),
            kProjectVersion);
}

}  // namespace
}  // namespace tooltest
