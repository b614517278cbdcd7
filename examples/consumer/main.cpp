// A client of the installed library, built apart from its tree: it creates
// the sector editor by ProgID, as a script would, selects a volume and reads
// its properties through dispatch.
//   volumar10_consumer IMAGE
#include <volumar10/platform/automation/automation_error.h>
#include <volumar10/platform/automation/class_objects.h>
#include <volumar10/platform/automation/dispatch.h>
#include <volumar10/platform/automation/variant_conversion.h>
#include <volumar10/platform/drive_map.h>
#include <volumar10/platform/utf8.h>
#include <volumar10/server/class_registry.h>
#include <volumar10/version.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
    return 2;
  }
  std::printf("Volumar10 %s\n", volumar::kVersionString);
  win::VolumeMapping volume;
  volume.path = argv[1];
  volume.read_only = true;
  win::DriveMap::map('C', volume);
  volumar::register_class_objects();
  try {
    const win::ObjectRef drw = win::create_object("Volumar10.clsQzVolmDrwA");
    const auto text = [&](const char16_t* name) {
      return win::utf16_to_utf8(win::to_string(win::get_property(drw, name)));
    };
    win::put_property(drw, u"DrivePP", win::Variant(std::u16string(u"C:")));
    std::printf("VolumarPP: %s\n", text(u"VolumarPP").c_str());
    std::printf("VolumeLabelPP: %s\n", text(u"VolumeLabelPP").c_str());
    win::put_property(drw, u"DiskSectionPP", win::Variant(std::int32_t{3}));  // the root directory
    std::printf("Root directory: %s-%s\n", text(u"MinSectorPP").c_str(), text(u"MaxSectorPP").c_str());

    const std::u16string plain = u"Volumar10";
    const win::Variant coded = win::call_method(drw, u"GetCrypEncString", {win::Variant(plain)});
    const win::Variant back = win::call_method(drw, u"GetCrypDecString", {coded});
    std::printf("Cipher: %s, %s\n", win::to_string(coded) == plain ? "unchanged" : "encoded",
                win::utf16_to_utf8(win::to_string(back)).c_str());
  } catch (const win::AutomationError& e) {
    std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().c_str());
    return 1;
  }
  return 0;
}
