// A volume made by mkfs.fat with one file copied in by mcopy, mapped as a
// drive letter and selected in a sector editor standing on the file's
// first sector; and the volume's bytes read straight from the image.
#pragma once
#include <functional>

#include <gtest/gtest.h>
#include "frame/runtime_error.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "drw/sector_editor.h"
#include "platform/user32/message_box.h"
#include "tests/fixtures/mapped_drive.h"
#include "tests/fixtures/peer_tools.h"
#include "tests/fixtures/temp_dir.h"
#include "volume/drive_info.h"

namespace drw_test {

// The run-time error number a call raises, 0 when it raises none.
inline int error_number(const std::function<void()>& f) {
  try {
    f();
  } catch (const volumar::RuntimeError& e) {
    return e.number();
  }
  return 0;
}

using namespace volumar;

struct VolumeShape {
  int fat_bits;
  unsigned size_kb;
  unsigned sector_size;
  unsigned cluster_sectors;
};

using EditorCase = std::tuple<VolumeShape, win::Family>;

// 512-byte shapes on both families; the others on NT only, since on the 9x
// family the boot read's 512-byte buffer cannot hold a larger sector.
inline std::vector<EditorCase> editor_cases(std::initializer_list<VolumeShape> shapes) {
  std::vector<EditorCase> out;
  for (const auto& s : shapes) {
    out.emplace_back(s, win::Family::NT);
    if (s.sector_size == 512) out.emplace_back(s, win::Family::Win9x);
  }
  return out;
}

inline std::string case_name(const ::testing::TestParamInfo<EditorCase>& info) {
  const auto& [s, family] = info.param;
  return "FAT" + std::to_string(s.fat_bits) + "_" + std::to_string(s.sector_size) + "B" +
         (family == win::Family::NT ? "_NT" : "_9x");
}

// Bytes 0, 1, ..., 255, 0, 1, ...: every byte value once in each 256 bytes.
inline std::vector<std::uint8_t> pattern_bytes(std::size_t count) {
  std::vector<std::uint8_t> out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(i);
  return out;
}

// The test's volume; Setup fails the test (fatal) when a peer tool fails.
class EditorVolume {
 public:
  static constexpr char kLetter = 'K';

  // content: the bytes of FILE.BIN, at least two clusters long so the
  // sectors after the first are the file's too.
  void make(const VolumeShape& shape, const std::vector<std::uint8_t>& content, win::Family family,
            win::VolumeMapping mapping = {}) {
    content_ = content;
    image_ = dir_.file("vol.img");
    fixtures::MkfsOptions opt;
    opt.fat_bits = shape.fat_bits;
    opt.size_kb = shape.size_kb;
    opt.sector_size = shape.sector_size;
    opt.sectors_per_cluster = shape.cluster_sectors;
    opt.label = "ROWS";
    auto made = fixtures::make_fat_image(image_, opt);
    ASSERT_TRUE(made.ok()) << made.describe();
    auto copied = fixtures::mcopy_bytes(image_, "FILE.BIN", content_);
    ASSERT_TRUE(copied.ok()) << copied.describe();
    file_ = fixtures::locate_file(image_, "FILE.BIN");
    ASSERT_TRUE(file_.found) << file_.failure;
    sector_size_ = shape.sector_size;
    family_.emplace(family);
    drive_.emplace(kLetter, image_, mapping);
    win::set_message_box_sink([this](const win::MessageBoxRequest& r) {
      boxes_.push_back(r.text);
      return win::IDOK;
    });
    drw_ = clsQzVolmDrwA::create();
    drw_->put_DrivePP(u"K:");
    ASSERT_TRUE(boxes_.empty()) << boxes_.front();
    drw_->put_DiskSectionPP(drwDiskSectionDataEntry);
    drw_->put_ClusterFoundPP(static_cast<Long>(file_.first_sector));
  }

  ~EditorVolume() { win::set_message_box_sink(nullptr); }

  clsQzVolmDrwA& drw() { return *drw_; }
  std::shared_ptr<clsQzVolmDrwA> drw_ref() { return drw_; }
  const fixtures::FileLocation& file() const { return file_; }
  const std::vector<std::uint8_t>& content() const { return content_; }
  const std::filesystem::path& image() const { return image_; }
  const std::vector<std::string>& boxes() const { return boxes_; }
  Long first_sector() const { return static_cast<Long>(file_.first_sector); }

  // Sector `sector` of the image, as dd would read it.
  std::vector<std::uint8_t> sector(std::uint64_t sector) const {
    return fixtures::file_bytes(image_, sector * sector_size_, sector_size_);
  }
  std::vector<std::uint8_t> whole_image() const {
    return fixtures::file_bytes(image_, 0, static_cast<std::size_t>(std::filesystem::file_size(image_)));
  }

 private:
  fixtures::TempDir dir_{"drw"};
  std::filesystem::path image_;
  std::vector<std::uint8_t> content_;
  fixtures::FileLocation file_;
  unsigned sector_size_ = 512;
  std::optional<fixtures::FamilyScope> family_;
  std::optional<fixtures::MappedDrive> drive_;
  std::shared_ptr<clsQzVolmDrwA> drw_;
  std::vector<std::string> boxes_;
};

// The characters a row shows for its bytes, written out independently:
// Windows-1252, bytes below 0x20 as ".".
inline String expected_row(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  static const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  String out;
  for (std::size_t k = 0; k < 16; ++k) {
    std::uint8_t b = bytes.at(offset + k);
    out += b < 0x20 ? u'.' : (b >= 0x80 && b < 0xA0) ? high[b - 0x80] : static_cast<char16_t>(b);
  }
  return out;
}

inline std::vector<String> items_of(const CollectionRef& c) {
  std::vector<String> out;
  for (Long i = 1; i <= c->Count(); ++i) out.push_back(c->Item(Variant(i)).string_value());
  return out;
}

}  // namespace drw_test
