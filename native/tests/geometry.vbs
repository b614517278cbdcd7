' A FAT volume on drive D: read through the sector editor: geometry as
' mkfs.fat made it, compared with the boot sector values the harness reads:
' drive label serial bytes-per-sector sectors-per-cluster total reserved fats
' sectors-per-fat root-start sector-of-cluster-3. Then that free sector
' is written and read back, rows enumerated with For Each.

Sub Expect(name, got, want)
  Check CStr(got) = CStr(want), name & " = " & got & " (want " & want & ")"
End Sub

Dim args : Set args = WScript.Arguments
Dim drive : drive = args(0)
Dim drw : Set drw = CreateObject("Volumar10.clsQzVolmDrwA")

On Error Resume Next
drw.DrivePP = drive
Check Err.Number = 0, "select " & drive & " (" & Err.Number & " " & Err.Description & ")"
On Error GoTo 0
If failures = 0 Then
  Expect "DrivePP", drw.DrivePP, drive
  Expect "VolumeLabelPP", drw.VolumeLabelPP, args(1)
  Expect "VolumeSerialHexPP", drw.VolumeSerialHexPP, args(2)
  Expect "BytesPerSectorPP", drw.BytesPerSectorPP, args(3)
  Expect "SectorsPerClusterPP", drw.SectorsPerClusterPP, args(4)
  Expect "TotalSectorsPP", drw.TotalSectorsPP, args(5)
  Expect "ReservedSectorsPP", drw.ReservedSectorsPP, args(6)
  Expect "NumberOfFatCopiesPP", drw.NumberOfFatCopiesPP, args(7)
  Expect "SectorsPerFATPP", drw.SectorsPerFATPP, args(8)
  Expect "RootDirectoryStartPP", drw.RootDirectoryStartPP, args(9)

  ' For Each over a collection the library returns.
  Dim starts, s, count : count = 0
  Set starts = drw.FatCopyStartsAtPP
  Check TypeName(starts) = "Collection", "FatCopyStartsAtPP is a Collection (" & TypeName(starts) & ")"
  For Each s In starts
    count = count + 1
    Expect "FAT copy " & count & " starts at", s, CLng(args(6)) + (count - 1) * CLng(args(8))
  Next
  Expect "FAT copies enumerated", count, args(7)
  ' One object, one reference: the property read again is the same object.
  Check drw.FatCopyStartsAtPP Is starts, "FatCopyStartsAtPP read twice Is the same object"

  ' The root directory's first sector: its first entry is the volume label.
  Dim rows, row, first
  drw.ClusterFoundPP = CLng(args(9))
  Set rows = drw.ReadSectorDataWhole()
  count = 0
  For Each row In rows
    count = count + 1
    If count = 1 Then first = row
  Next
  Expect "rows of a sector", count, CLng(args(3)) \ 16
  Expect "first root entry", Left(first, 11), Left(args(1) & Space(11), 11)

  ' Write row 5 of the sector of cluster 3 and read it back.
  Dim changed, outcome, text
  text = "Hello, sector! from VBScript"
  drw.ClusterFoundPP = CLng(args(10))
  Set rows = drw.ReadSectorDataWhole()
  Set changed = Nothing
  outcome = drw.ChangeCollectionItem(rows, 5, text, changed)
  Expect "ChangeCollectionItem", outcome, "SUCCESS"
  On Error Resume Next
  drw.WriteSectorDataWhole changed
  Check Err.Number = 0, "WriteSectorDataWhole (" & Err.Number & " " & Err.Description & ")"
  On Error GoTo 0
  Set rows = drw.ReadSectorDataWhole()
  Expect "row 5 read back", rows(5), Left(text, 16)
End If

WScript.Echo failures & " failure(s)"
WScript.Quit failures
