' Put before each test script by the runner: its failure count and the two
' ways a script checks a result.
Option Explicit
Dim failures : failures = 0

Sub Check(ok, what)
  If ok Then
    WScript.Echo "ok   " & what
  Else
    WScript.Echo "FAIL " & what
    failures = failures + 1
  End If
End Sub

Sub Expect(name, got, want)
  Check CStr(got) = CStr(want), name & " = """ & got & """ (want """ & want & """)"
End Sub
