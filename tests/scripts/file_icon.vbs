' FileIcon from VBScript: the type name comes back in the script's variable; a blank file
' name raises 35000. (A script has no image list to offer, so the call ends quietly after
' naming the type.)
Option Explicit
Dim passed, failed
passed = 0 : failed = 0
Sub Check(name, actual, expected)
    If actual = expected Then
        passed = passed + 1 : WScript.Echo "ok - " & name
    Else
        failed = failed + 1 : WScript.Echo "not ok - " & name & ": got [" & actual & "] expected [" & expected & "]"
    End If
End Sub

Dim icon, list, typeName, other
Set icon = CreateObject("ZanKit.FileIcon")
list = "no image list"
typeName = ""
icon.GetAssociatedIcon "C:\docs\report.txt", list, typeName
Check "the type name comes back in the variable", Len(typeName) > 0, True
other = ""
icon.GetAssociatedIcon "notes.txt", list, other, False
Check "another file of the type gets the same name", other, typeName

On Error Resume Next
icon.GetAssociatedIcon "   ", list, other
Check "a blank file name raises 35000", Err.Number, 35000
Check "from ZanKit", Err.Source, "ZanKit"
Check "with its text", Err.Description, "strFile cann't be NullString!"
Err.Clear
On Error GoTo 0
Check "the variable is left alone", other, typeName

WScript.Echo passed & " passed, " & failed & " failed"
