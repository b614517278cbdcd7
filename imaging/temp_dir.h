// A temporary folder (for images) that lives as long as its owner and is removed,
// with everything in it, when the owner goes away.
#pragma once

#include <filesystem>
#include <string_view>

namespace imaging {

class TempDir {
 public:
  // Creates a fresh directory under the system's temporary directory whose
  // name starts with prefix. Throws std::system_error when it cannot.
  explicit TempDir(std::string_view prefix = "volumar");
  ~TempDir();

  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  TempDir(TempDir&& other) noexcept;
  TempDir& operator=(TempDir&& other) noexcept;

  const std::filesystem::path& path() const { return path_; }
  // path() / name; the file itself is not created.
  std::filesystem::path file(std::string_view name) const;

  // Keeps the directory on disk (for looking at a failing test's images)
  // and returns its path; the object then owns nothing.
  std::filesystem::path release();

 private:
  void remove() noexcept;
  std::filesystem::path path_;
};

}  // namespace imaging
