// DriveInfo: the record of the selected volume, once per apartment and
// shared by every sector editor of that apartment.
#pragma once
#include <vector>

#include "frame/value_types.h"
#include "volume/fat_table.h"
#include "volume/volume_geometry.h"

namespace volumar {

struct DriveInfoRecord {
  Byte SectorsPerCluster = 0;
  Integer BytesPerSector = 0;
  String FsType;
  String DriveType;
  String VolumeLabel;
  Long VolumeSerial = 0;
  Long TotalSectors = 0;
  win::Bytes BootSector;
  String SectorDataFormatted;
  Byte NumberOfFats = 0;
  Long HiddenSectors = 0;
  Long ReservedSectors = 0;
  Long SectorsPerFat = 0;
  Long RootDirectoryStart = 0;
  Long RootDirectoryLength = 0;
  Long DataAreaStart = 0;
  win::Bytes FatBytes;  // FAT12 only: the copy as read, for the nibbles entries share
  FatTable<Long> Fat32Table;
  FatTable<Integer> Fat16Table;
  FatTable<Integer> Fat12Table;
  Long FirstDataCluster = 0;
  // The layout the fields above are filled from, in 64 bits; what hosts ask.
  VolumeGeometry Geometry;
  // Where FAT copy 1 is read from, and whether it still is to be read when
  // a member first needs the tables.
  String FatRoot;
  bool FatPending = false;
};

// The apartment's record, created empty at its first use on this thread.
DriveInfoRecord& DriveInfo();

// Empties the record but for BootSector and SectorDataFormatted.
void ResetDriveInfo();

}  // namespace volumar
