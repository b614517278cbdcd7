' Every class by ProgID, TypeName, the cipher, errors, For Each.

Dim names, n, obj
names = Array("clsQzVolumarA", "clsQzVolmGeneralA", "clsQzVolmAdvancedA", "clsQzVolmCustomFileExtA", "clsQzVolmDrwA")
For Each n In names
  Set obj = Nothing
  On Error Resume Next
  Set obj = CreateObject("Volumar10." & n)
  Check Err.Number = 0, "CreateObject Volumar10." & n & " (" & Err.Description & ")"
  On Error GoTo 0
  If Not obj Is Nothing Then Check TypeName(obj) = n, "TypeName is " & n & " (got " & TypeName(obj) & ")"
Next

Dim drw, secret, plain
Set drw = CreateObject("Volumar10.clsQzVolmDrwA")
secret = drw.GetCrypEncString("Hello, Volumar")
plain = drw.GetCrypDecString(secret)
Check secret <> "Hello, Volumar", "GetCrypEncString changes the text (" & secret & ")"
Check plain = "Hello, Volumar", "GetCrypDecString restores it (" & plain & ")"

' An unknown member is error 438, caught statement by statement.
On Error Resume Next
Dim x : x = drw.NoSuchMember
Check Err.Number = 438, "unknown member raises 438 (got " & Err.Number & ")"
Err.Clear
On Error GoTo 0

' A drive letter that names no drive is refused with a run-time error.
On Error Resume Next
drw.DrivePP = "Q:"
Check Err.Number <> 0, "selecting unmapped Q: raises an error (" & Err.Number & " " & Err.Description & ")"
Err.Clear
On Error GoTo 0

' The about box goes through the companion to MessageBoxA; the harness's
' sink prints it instead of waiting for a click.
Dim root : Set root = CreateObject("Volumar10.clsQzVolumarA")
On Error Resume Next
root.About
Check Err.Number = 0, "About returns without blocking (" & Err.Number & " " & Err.Description & ")"
Err.Clear
On Error GoTo 0

WScript.Echo failures & " failure(s)"
WScript.Quit failures
