// A client that drives the sector editor the way a script would: it creates
// the class by ProgID and calls every member by name through dispatch.
//   drive_sector_editor IMAGE
#include <cstdio>

#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "platform/automation/variant_conversion.h"
#include "platform/drive_map.h"
#include "platform/utf8.h"
#include "server/class_registry.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
    return 2;
  }
  win::VolumeMapping volume;
  volume.path = argv[1];
  win::DriveMap::map('C', volume);
  volumar::register_class_objects();
  try {
    win::ObjectRef drw = win::create_object("Volumar10.clsQzVolmDrwA");
    win::put_property(drw, u"DrivePP", win::Variant(std::u16string(u"C:")));
    win::put_property(drw, u"DiskSectionPP", win::Variant(std::int32_t{3}));  // the root directory
    auto text = [&](const char16_t* name) { return win::utf16_to_utf8(win::to_string(win::get_property(drw, name))); };
    std::printf("%s volume, root directory in sectors %s to %s\n", text(u"VolumarPP").c_str(),
                text(u"MinSectorPP").c_str(), text(u"MaxSectorPP").c_str());
    win::put_property(drw, u"ClusterFoundPP", win::get_property(drw, u"MinSectorPP"));
    win::call_method(drw, u"ShowSectorInEditControlPP");
    std::printf("%s", text(u"SectorDataFormattedPP").c_str());
  } catch (const win::AutomationError& e) {
    std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().c_str());
    return 1;
  }
  return 0;
}
