' FileSysInfo, FileWriter and the collection as VBScript sees them: variables passed by
' reference keep their text, For Each and the default member, the types of the answers, and
' arrays held in script variables.
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

Dim info, fso, folder, p, list, item, count, names, writer, stream
Set info = CreateObject("ZanKit.FileSysInfo")
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.GetSpecialFolder(2).Path & "\zankit-vbs-" & fso.GetTempName()
fso.CreateFolder folder
fso.CreateFolder folder & "\to"
fso.CreateTextFile(folder & "\one.txt").Close
fso.CreateTextFile(folder & "\two.log").Close

p = "C:\Temp"
Check "FixPath of a variable", info.FixPath(p), "C:\Temp\"
Check "the variable keeps its text", p, "C:\Temp"

Set list = info.zanFolderInfo(folder, 59)
count = 0
For Each item In list
    If Left(item, Len(folder) + 1) = folder & "\" Then count = count + 1
Next
Check "For Each walks every file as a full path", count, 2
list.Add "a", "ka"
Check "the default member takes a key in other case", list("KA"), "a"

Check "types of the answers: Empty, Integer, Date, Long", TypeName(info.zanFolderInfo(folder & "\missing", 0)) & _
    " " & TypeName(info.zanFolderInfo(folder, 18)) & " " & TypeName(info.zanFolderInfo(folder, 8)) & " " & _
    TypeName(info.zanFileInfo(folder & "\one.txt", 16)), "Empty Integer Date Long"

names = Array(folder & "\one.txt", folder & "\two.log")
Check "FilesCopy of an array variable copies both", info.FilesCopy(names, folder & "\to", False, True) And _
    fso.FileExists(folder & "\to\one.txt") And fso.FileExists(folder & "\to\two.log"), True

Set writer = CreateObject("ZanKit.FileWriter")
writer.Filename = folder & "\lines\out.txt"
writer.WriteLine "abc"
writer.WriteFinish 5
Set stream = fso.OpenTextFile(folder & "\lines\out.txt")
Check "a text line and the number 5 between blanks", stream.ReadAll, "abc" & vbCrLf & " 5 " & vbCrLf
stream.Close

fso.DeleteFolder folder, True
WScript.Echo passed & " passed, " & failed & " failed"
