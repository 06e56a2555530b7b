' The FileSysInfo queries as VBScript sees them: For Each over the name lists, Err.Number
' of a bad index, and the types of Empty, Integer, Date and Long answers.
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

Dim info, fso, folder, list, item, count, r
Set info = CreateObject("ZanKit.FileSysInfo")
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.GetSpecialFolder(2).Path & "\zankit-vbs-" & fso.GetTempName()
fso.CreateFolder folder
fso.CreateTextFile(folder & "\one.log").Close
fso.CreateTextFile(folder & "\two.txt").Close
fso.CreateFolder folder & "\sub"

Set list = info.zanFolderInfo(folder, 59)
count = 0
For Each item In list
    If Left(item, Len(folder) + 1) = folder & "\" Then count = count + 1
Next
Check "For Each walks every file as a full path", count, 2
Check "Item is the default member", list(1), list.Item(1)
On Error Resume Next
r = list.Item(99)
Check "Item(99) raises Subscript out of range", Err.Number, 9
Err.Clear
On Error GoTo 0

Check "missing folder is Empty", IsEmpty(info.zanFolderInfo(folder & "\missing", 0)), True
Check "number of files is an Integer", TypeName(info.zanFolderInfo(folder, 18)), "Integer"
Check "folder date is a Date", TypeName(info.zanFolderInfo(folder, 8)), "Date"
Check "file size is a Long", TypeName(info.zanFileInfo(folder & "\one.log", 16)), "Long"

fso.DeleteFolder folder, True
WScript.Echo passed & " passed, " & failed & " failed"
