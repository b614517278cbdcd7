// The registry file across processes: read back by a new process, killed
// writers at random points, two writers at once. Child processes are this
// test program run again in a helper mode.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/utf8.h"

using namespace win;

namespace {

LONG L(DWORD code) { return static_cast<LONG>(code); }

constexpr int kReportFd = 3;
constexpr int kRegisterCount = 60;

// ---- the helper mode --------------------------------------------------------

void report(const std::string& line) {
  std::string text = line + "\n";
  [[maybe_unused]] auto n = write(kReportFd, text.data(), text.size());
}

// The writes of one association, in order; each is one registry call.
std::string command_of(long i) { return "\"C:\\App\\app.exe\" \"%1\" /n " + std::to_string(i); }
std::vector<BYTE> blob_of(long i) {
  std::vector<BYTE> b(3000 + static_cast<std::size_t>(i % 7) * 211);
  for (std::size_t k = 0; k < b.size(); ++k) b[k] = static_cast<BYTE>((static_cast<std::size_t>(i) * 31 + k) & 0xFF);
  return b;
}
constexpr int kSteps = 4;

LONG write_step(long i, int step) {
  std::string ext = ".t" + std::to_string(i), type = "Type" + std::to_string(i);
  HKEY h = nullptr;
  LONG rc;
  switch (step) {
    case 0: return RegSetValueA(HKEY_CLASSES_ROOT, ext.c_str(), REG_SZ, type.c_str(), 0);
    case 1: {
      rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, (type + "\\shell\\open\\command").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &h, nullptr);
      if (rc) return rc;
      auto cmd = command_of(i);
      rc = RegSetValueExA(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(cmd.c_str()), static_cast<DWORD>(cmd.size()));
      RegCloseKey(h);
      return rc;
    }
    case 2: {
      auto n = static_cast<DWORD>(i);
      rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, type.c_str(), 0, KEY_ALL_ACCESS, &h);
      if (rc) return rc;
      rc = RegSetValueExA(h, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4);
      RegCloseKey(h);
      return rc;
    }
    default: {
      auto blob = blob_of(i);
      rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, type.c_str(), 0, KEY_ALL_ACCESS, &h);
      if (rc) return rc;
      rc = RegSetValueExA(h, "Blob", 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()));
      RegCloseKey(h);
      return rc;
    }
  }
}

int run_child(const std::string& mode, const std::string& file, const std::string& arg) {
  if (!registry_use_file(file)) return 10;
  if (mode == "writer") {
    for (long i = std::stol(arg);; ++i) {
      for (int step = 0; step < kSteps; ++step) {
        LONG rc = write_step(i, step);
        if (rc) {
          report("fail " + std::to_string(i) + " " + std::to_string(step) + " " + std::to_string(rc));
          return 11;
        }
        report(std::to_string(i) + " " + std::to_string(step));
      }
    }
  }
  if (mode == "register") {
    for (int i = 0; i < kRegisterCount; ++i) {
      std::string n = arg + std::to_string(i);
      if (RegSetValueA(HKEY_CLASSES_ROOT, ("." + n).c_str(), REG_SZ, (n + ".Document").c_str(), 0)) return 12;
      // Both writers also add under one shared key.
      if (RegSetValueA(HKEY_CLASSES_ROOT, ("Shared\\shell\\" + n + "\\command").c_str(), REG_SZ, n.c_str(), 0))
        return 13;
    }
    return 0;
  }
  if (mode == "export") {
    std::u16string text;
    if (registry_export("HKEY_CLASSES_ROOT", text)) return 14;
    auto bytes = utf16_to_utf8(text);
    for (std::size_t off = 0; off < bytes.size();) {
      auto n = write(kReportFd, bytes.data() + off, bytes.size() - off);
      if (n <= 0) return 15;
      off += static_cast<std::size_t>(n);
    }
    return 0;
  }
  if (mode == "set") return RegSetValueA(HKEY_CLASSES_ROOT, arg.c_str(), REG_SZ, "from the child", 0);
  if (mode == "delete") return RegDeleteTreeA(HKEY_CLASSES_ROOT, arg.c_str());
  return 99;
}

TEST(RegistryChild, DISABLED_Run) {
  const char* mode = std::getenv("VOLUMAR_REG_CHILD");
  if (!mode) GTEST_SKIP() << "helper mode for the process tests";
  _exit(run_child(mode, std::getenv("VOLUMAR_REG_FILE"), std::getenv("VOLUMAR_REG_ARG")));
}

// ---- the parent's side ----------------------------------------------------------

struct Child {
  pid_t pid = -1;
  int reports = -1;  // read end, or -1
};

Child spawn(const std::string& mode, const std::filesystem::path& file, const std::string& arg,
            bool with_reports = false) {
  // Everything the child needs is built before fork().
  std::string self = std::filesystem::read_symlink("/proc/self/exe");
  std::vector<std::string> args = {self, "--gtest_also_run_disabled_tests", "--gtest_filter=RegistryChild.*"};
  std::vector<std::string> env = {"VOLUMAR_REG_CHILD=" + mode, "VOLUMAR_REG_FILE=" + file.string(),
                                  "VOLUMAR_REG_ARG=" + arg};
  for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "PATH"})
    if (const char* v = std::getenv(keep)) env.push_back(std::string(keep) + "=" + v);
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  for (auto& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  int fds[2] = {-1, -1};
  if (with_reports) {
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
  }
  Child c;
  c.pid = fork();
  if (c.pid == 0) {
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    if (with_reports) {
      dup2(fds[1], kReportFd);
      if (fds[1] == kReportFd) fcntl(kReportFd, F_SETFD, 0);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (with_reports) {
    close(fds[1]);
    c.reports = fds[0];
  }
  return c;
}

int wait_exit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Reads what comes until the deadline (or the end, then false); with
// `first_only`, returns as soon as something has come.
bool read_until(int fd, std::string& into, std::chrono::steady_clock::time_point deadline, bool first_only = false) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(std::max<long>(0, left.count()))) <= 0) return true;
    char buf[4096];
    auto n = read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    into.append(buf, static_cast<std::size_t>(n));
    if (first_only) return true;
  }
}

std::string read_all(int fd) {
  std::string out;
  while (read_until(fd, out, std::chrono::steady_clock::now() + std::chrono::seconds(30))) {
  }
  close(fd);
  return out;
}

std::string default_of(const char* path) {
  char buf[512];
  LONG size = sizeof buf;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, path, buf, &size) != L(ERROR_SUCCESS)) return "<missing>";
  return std::string(buf, static_cast<std::size_t>(size - 1));
}

// The value a step writes, read back: nullopt when absent.
std::optional<std::vector<BYTE>> read_step(long i, int step) {
  std::string type = "Type" + std::to_string(i);
  std::string key = step == 0 ? ".t" + std::to_string(i) : step == 1 ? type + "\\shell\\open\\command" : type;
  const char* name = step == 2 ? "Count" : step == 3 ? "Blob" : "";
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h)) return std::nullopt;
  std::vector<BYTE> data(8192);
  DWORD cb = static_cast<DWORD>(data.size());
  LONG rc = RegQueryValueExA(h, name, nullptr, nullptr, data.data(), &cb);
  RegCloseKey(h);
  if (rc) return std::nullopt;
  data.resize(cb);
  return data;
}

std::vector<BYTE> expected_step(long i, int step) {
  auto text = [](const std::string& s) { return std::vector<BYTE>(s.begin(), s.end() + 1); };
  auto n = static_cast<DWORD>(i);
  switch (step) {
    case 0: return text("Type" + std::to_string(i));
    case 1: return text(command_of(i));
    case 2: return std::vector<BYTE>(reinterpret_cast<BYTE*>(&n), reinterpret_cast<BYTE*>(&n) + 4);
    default: return blob_of(i);
  }
}

std::string integrity_of(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
    result = sqlite3_step(st) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "no row";
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return result;
}

class RegistryProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("volumar-reg-proc-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    file_ = dir_ / "registry.db";
  }
  void TearDown() override {
    registry_use_memory();
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_, file_;
};

TEST_F(RegistryProcesses, ANewProcessReadsBackWhatWasWritten) {
  ASSERT_TRUE(registry_use_file(file_));
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".xyz", REG_SZ, "Xyz.Document", 0), L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "Xyz.Document\\shell\\open\\command", REG_SZ, "C:\\App\\app.exe %1", 0),
            L(ERROR_SUCCESS));
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "Xyz.Document", &h), L(ERROR_SUCCESS));
  DWORD n = 0xA0B0C0D0;
  const char expand[] = "%ProgramFiles%\\App";
  ASSERT_EQ(RegSetValueExA(h, "Flags", 0, REG_DWORD, reinterpret_cast<BYTE*>(&n), 4), L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueExA(h, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), sizeof expand),
            L(ERROR_SUCCESS));
  RegCloseKey(h);
  std::u16string mine;
  ASSERT_EQ(registry_export("HKEY_CLASSES_ROOT", mine), L(ERROR_SUCCESS));
  registry_use_memory();

  Child c = spawn("export", file_, "", true);
  std::string theirs = read_all(c.reports);
  EXPECT_EQ(wait_exit(c.pid), 0);
  EXPECT_EQ(theirs, utf16_to_utf8(mine));
  EXPECT_NE(theirs.find("\"Flags\"=dword:a0b0c0d0"), std::string::npos);
}

TEST_F(RegistryProcesses, AnOpenStoreSeesAnotherProcessesCommits) {
  ASSERT_TRUE(registry_use_file(file_));
  HKEY live = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "Live", &live), L(ERROR_SUCCESS));
  ASSERT_EQ(default_of("Live\\sub"), "<missing>");

  Child setter = spawn("set", file_, "Live\\sub");
  ASSERT_EQ(wait_exit(setter.pid), 0);
  EXPECT_EQ(default_of("Live\\sub"), "from the child");

  Child deleter = spawn("delete", file_, "Live");
  ASSERT_EQ(wait_exit(deleter.pid), 0);
  DWORD cb = 0;
  EXPECT_EQ(RegQueryValueExA(live, "", nullptr, nullptr, nullptr, &cb), L(ERROR_KEY_DELETED));
  EXPECT_EQ(default_of("Live\\sub"), "<missing>");
  RegCloseKey(live);
}

TEST_F(RegistryProcesses, KilledWritersLoseNothingThatReturned) {
  std::random_device seed_source;
  unsigned seed = seed_source();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  constexpr int kRounds = 16;
  std::size_t confirmed_total = 0;
  for (int round = 0; round < kRounds; ++round) {
    long start = round * 100000L;
    Child c = spawn("writer", file_, std::to_string(start), true);
    std::string reports;
    // Early rounds may die while the file is still being made; later ones
    // die at a random moment after the writing has begun.
    auto now = std::chrono::steady_clock::now();
    if (round % 2 == 1) {
      read_until(c.reports, reports, now + std::chrono::seconds(20), true);
      now = std::chrono::steady_clock::now();
    }
    read_until(c.reports, reports, now + std::chrono::microseconds(rng() % 60000));
    kill(c.pid, SIGKILL);
    wait_exit(c.pid);
    reports += read_all(c.reports);

    std::map<long, int> done;  // association -> steps whose call returned
    std::istringstream in(reports);
    std::string line;
    while (std::getline(in, line)) {
      ASSERT_NE(line.rfind("fail", 0), 0u) << line;
      long i;
      int step;
      std::istringstream(line) >> i >> step;
      done[i] = std::max(done.count(i) ? done[i] : 0, step + 1);
      ++confirmed_total;
    }
    ASSERT_TRUE(registry_use_file(file_)) << "round " << round;
    long last = done.empty() ? start : done.rbegin()->first;
    for (long i = start; i <= last + 1; ++i) {
      for (int step = 0; step < kSteps; ++step) {
        auto got = read_step(i, step);
        bool returned = done.count(i) && step < done[i];
        if (returned) {
          ASSERT_TRUE(got.has_value()) << "round " << round << " value " << i << "/" << step;
        }
        if (got) {
          ASSERT_EQ(*got, expected_step(i, step)) << "torn value " << i << "/" << step;
        }
      }
    }
    registry_use_memory();
    ASSERT_EQ(integrity_of(file_), "ok") << "round " << round;
  }
  EXPECT_GT(confirmed_total, 0u);
}

// Both also race to make the file.
TEST_F(RegistryProcesses, TwoWritersAtOnceBothKeepEverything) {
  Child a = spawn("register", file_, "A");
  Child b = spawn("register", file_, "B");
  EXPECT_EQ(wait_exit(a.pid), 0);
  EXPECT_EQ(wait_exit(b.pid), 0);
  ASSERT_TRUE(registry_use_file(file_));
  for (const char* prefix : {"A", "B"}) {
    for (int i = 0; i < kRegisterCount; ++i) {
      std::string n = prefix + std::to_string(i);
      EXPECT_EQ(default_of(("." + n).c_str()), n + ".Document");
      EXPECT_EQ(default_of(("Shared\\shell\\" + n + "\\command").c_str()), n);
    }
  }
  HKEY shell = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Shared\\shell", 0, KEY_READ, &shell), L(ERROR_SUCCESS));
  char name[16];
  EXPECT_EQ(RegEnumKeyA(shell, 2 * kRegisterCount - 1, name, sizeof name), L(ERROR_SUCCESS));
  EXPECT_EQ(RegEnumKeyA(shell, 2 * kRegisterCount, name, sizeof name), L(ERROR_NO_MORE_ITEMS));
  RegCloseKey(shell);
}

}  // namespace
