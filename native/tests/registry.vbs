' File types registered through clsQzVolmCustomFileExtA, read back from the
' registry by WScript.Shell. The harness checks one of them with reg query.

Dim shell : Set shell = CreateObject("WScript.Shell")

Function Value(key)
  On Error Resume Next
  Value = shell.RegRead("HKCR\" & key & "\")
  If Err.Number <> 0 Then Value = "<missing " & Hex(Err.Number) & ">"
  On Error GoTo 0
End Function

Dim ext : Set ext = CreateObject("Volumar10.clsQzVolmCustomFileExtA")
Dim id, result, q
q = Chr(34)
ext.RegExtension ".xyz", "Xyz.Document", "Xyz document", "C:\App\app.exe"
id = "Abc.Document"
result = ext.AssociateFileExtension("C:\App\app.exe", ".abc", id, "Abc document", "C:\App\app.exe,1")
Check result = 0, "AssociateFileExtension returns 0 (" & result & ")"
Check id = "Abc.Document\shell\open\command", "the identifier comes back as the command key (" & id & ")"
result = ext.AssociateFileCommand(".abc", "print", "C:\App\app.exe /p ""%1""")
Check IsEmpty(result), "AssociateFileCommand returns Empty (" & TypeName(result) & ")"

' Key and the default value it must hold.
Dim want, w
want = Array( _
  Array(".xyz", "Xyz.Document"), _
  Array("Xyz.Document", "Xyz document"), _
  Array("Xyz.Document\shell\open\command", "C:\App\app.exe %1"), _
  Array(".abc", "Abc.Document"), _
  Array("Abc.Document", "Abc document"), _
  Array("Abc.Document\DefaultIcon", "C:\App\app.exe,1"), _
  Array("Abc.Document\shell\open\command", q & "C:\App\app.exe" & q & " " & q & "%1" & q), _
  Array("Abc.Document\shell\print", "print"), _
  Array("Abc.Document\shell\print\command", "C:\App\app.exe /p " & q & "%1" & q))
For Each w In want
  Check Value(w(0)) = w(1), "HKCR\" & w(0) & " = " & Value(w(0))
Next

' An extension that is not registered: reported by a message box, the
' call itself returns normally and writes nothing.
On Error Resume Next
ext.AssociateFileCommand ".nosuchext", "print", "x"
Check Err.Number = 0, "AssociateFileCommand on an unknown extension returns (" & Err.Number & ")"
On Error GoTo 0
Check Left(Value(".nosuchext"), 8) = "<missing", "HKCR\.nosuchext stays absent"

WScript.Echo failures & " failure(s)"
WScript.Quit failures
