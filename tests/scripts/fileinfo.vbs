' The FileSysInfo queries as VBScript sees them: For Each over the name lists, Err.Number
' of a bad index, Empty and Integer answers.
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

Dim info, fso, folder, list, item, count, names, r
Set info = CreateObject("ZanKit.FileSysInfo")
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.GetSpecialFolder(2).Path & "\zankit-vbs-" & fso.GetTempName()
fso.CreateFolder folder
fso.CreateTextFile(folder & "\one.log").Close
fso.CreateTextFile(folder & "\two.log").Close
fso.CreateTextFile(folder & "\three.txt").Close
fso.CreateFolder folder & "\sub"

Set list = info.zanFolderInfo(folder, 59)
Check "file list count", list.Count, 3
count = 0 : names = ""
For Each item In list
    count = count + 1
    If Left(item, Len(folder) + 1) = folder & "\" Then names = names & "+"
Next
Check "For Each walks every file", count, 3
Check "every item is a full path", names, "+++"
Check "Item is the default member", list(1), list.Item(1)
On Error Resume Next
r = list.Item(99)
Check "Item(99) raises Subscript out of range", Err.Number, 9
Err.Clear
On Error GoTo 0

Set list = info.zanFolderInfo(folder & "\*.log", 59)
Check "pattern list count", list.Count, 2
Set list = info.zanFolderInfo(folder & "\missing", 59)
Check "missing folder gives an empty list", list.Count, 0
count = 0
For Each item In info.zanFolderInfo(folder, 61)
    count = count + 1
Next
Check "For Each over the folder list", count, 1

Check "missing folder is Empty", IsEmpty(info.zanFolderInfo(folder & "\missing", 0)), True
Check "number of files is an Integer", TypeName(info.zanFolderInfo(folder, 18)), "Integer"
Check "folder date is a Date", TypeName(info.zanFolderInfo(folder, 8)), "Date"
Check "file size is a Long", TypeName(info.zanFileInfo(folder & "\one.log", 16)), "Long"
Check "missing file size is Empty", IsEmpty(info.zanFileInfo(folder & "\none.txt", 16)), True
Check "free file is not in use", IsEmpty(info.zanFileInfo(folder & "\one.log", 21)), True
Check "drive type text", info.zanDriveInfo("C:", 3), "Lokales Laufwerk"
Check "CD-ROM drive type text", info.zanDriveInfo(info.CDROMpresent(), 3), "CD-ROM"
Check "a missing drive letter", info.zanDriveInfo("Y", 0), False

fso.DeleteFolder folder, True
WScript.Echo passed & " passed, " & failed & " failed"
