"""Reads a FAT volume's geometry and root directory through the sector editor.

    mkfs.fat -C -F 12 -n FLOPPY floppy.img 1440
    PYTHONPATH=build/python python3 python/example.py floppy.img
"""
import sys

import volumar10

volumar10.map_drive("C", sys.argv[1], read_only=True)
drw = volumar10.Dispatch("Volumar10.clsQzVolmDrwA")
try:
    drw.DrivePP = "C:"
except volumar10.Error as e:
    sys.exit(f"{sys.argv[1]}: {e}")
print(f"{drw.VolumarPP} volume {drw.VolumeLabelPP!r}: {drw.TotalSectorsPP} sectors of {drw.BytesPerSectorPP} bytes")
print("FAT copies at sectors", list(drw.FatCopyStartsAtPP))
drw.DiskSectionPP = 3  # the root directory
drw.ClusterFoundPP = drw.MinSectorPP
for row in drw.ReadSectorDataWhole()[:4]:
    print(" ", row)
drw.FindCluster(0)  # stands on the first free cluster
print("First free cluster begins at sector", drw.ClusterFoundPP)
for text, caption, style in volumar10.message_boxes():
    print(f"[{caption}] {text}")
