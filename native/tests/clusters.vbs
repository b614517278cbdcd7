' Clusters through the FAT on drive D:, arguments: drive sectors-per-cluster
' sector-of-cluster-3. Cluster 3 is the first free one; 4 is marked bad and
' free again, 5 is left bad, and a fresh object each time proves the mark
' reached the disk, not just the table in memory. The harness then compares
' the image with the same marks made by the Linux CLI.

Const FreeFindFirst = 0, FreeFindNext = 1, FreeMarkBad = 2, BadFindFirst = 4, BadMarkFree = 6

Dim args : Set args = WScript.Arguments
Dim drive : drive = args(0)
Dim spc : spc = CLng(args(1))
Dim first : first = CLng(args(2))

Function SectorOf(cluster)
  SectorOf = first + (cluster - 3) * spc
End Function

Function Opened()
  Dim o : Set o = CreateObject("Volumar10.clsQzVolmDrwA")
  o.DrivePP = drive
  Set Opened = o
End Function

' Each row: object ("same" or a fresh one), action, result, sector after, caption.
Dim steps, st, drw
steps = Array( _
  Array("new", FreeFindFirst, "", SectorOf(3), " - Searching for first free cluster..."), _
  Array("same", FreeFindNext, "", SectorOf(4), " - Searching for next free cluster..."), _
  Array("same", FreeMarkBad, "", SectorOf(4), " - marking cluster 4 as bad..."), _
  Array("new", BadFindFirst, "", SectorOf(4), " - Searching for first bad cluster..."), _
  Array("new", FreeFindFirst, "", SectorOf(3), ""), _
  Array("same", FreeFindNext, "", SectorOf(5), ""), _
  Array("same", FreeMarkBad, "", SectorOf(5), " - marking cluster 5 as bad..."), _
  Array("new", BadFindFirst, "", SectorOf(4), ""), _
  Array("same", BadMarkFree, "", SectorOf(4), " - marking cluster 4 as free..."), _
  Array("new", BadFindFirst, "", SectorOf(5), ""))

Dim i, result, action
i = 0
For Each st In steps
  i = i + 1
  If st(0) = "new" Then Set drw = Opened()
  action = st(1)
  result = drw.FindCluster(action)
  Expect "step " & i & " FindCluster(" & st(1) & ")", result, st(2)
  Expect "step " & i & " ClusterFoundPP", drw.ClusterFoundPP, st(3)
  If st(4) <> "" Then Expect "step " & i & " CaptionPP", drw.CaptionPP, st(4)
Next

' Find-next from the last bad cluster: nothing is left, the result is "0"
' and the editor stays where it was.
result = drw.FindCluster(5)
Expect "find next bad after 5", result, "0"
Expect "ClusterFoundPP unchanged", drw.ClusterFoundPP, SectorOf(5)

' A property that wants a number refuses a text with a type mismatch.
On Error Resume Next
drw.ClusterFoundPP = "not a number"
Check Err.Number = 13, "ClusterFoundPP = text raises 13 (got " & Err.Number & " " & Err.Description & ")"
Err.Clear
On Error GoTo 0
Expect "ClusterFoundPP after the refused put", drw.ClusterFoundPP, SectorOf(5)

WScript.Echo failures & " failure(s)"
WScript.Quit failures
