' FileSysInfo, FileWriter and the collection as VBScript sees them: variables passed by
' reference keep their type or take the written-back text, raised errors in Err, For Each and
' the default member, the types of the answers, and arrays held in script variables.
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

Dim info, fso, folder, p, n, r, list, item, count, names, writer, stream, link, name
Set info = CreateObject("ZanKit.FileSysInfo")
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.GetSpecialFolder(2).Path & "\zankit-vbs-" & fso.GetTempName()
fso.CreateFolder folder
fso.CreateFolder folder & "\to"
fso.CreateTextFile(folder & "\one.txt").Close
fso.CreateTextFile(folder & "\two.log").Close

p = "C:\Temp" : n = 5
Check "FixPath of a variable", info.FixPath(p), "C:\Temp\"
Check "the variable keeps its text", p, "C:\Temp"
Check "a number variable converts to text", info.FixPath(n), "5\"
Check "the number variable stays an Integer", TypeName(n), "Integer"
link = "info@example.org" : name = "Kontakt"
Check "CreateHyperlink answers True", info.CreateHyperlink(link, name, folder & "\to"), True
Check "the name variable gets its ending", name, "Kontakt.url"
Check "the address variable gets its scheme", link, "mailto:info@example.org"

On Error Resume Next
Dim http : Set http = CreateObject("ZanKit.WinHttpWrapper")
http.Terminate
http.OpenRequest "GET", "http://127.0.0.1/", False
Check "raised error number, source and text", Err.Number & " " & Err.Source & " " & Err.Description, _
    "91 ZanKit.WinHttpWrapper Object variable or With block variable not set"
Err.Clear
r = info.FixPath()
Check "missing argument (Argument not optional)", Err.Number, 449
Err.Clear
info.ShellEx folder & "\missing.txt"
Check "ShellEx on a missing file raises 53 from FileSysInfo.ShellEx", Err.Number & " " & Err.Source, "53 FileSysInfo.ShellEx"
Err.Clear
On Error GoTo 0

Set list = info.zanFolderInfo(folder, 59)
count = 0
For Each item In list
    If Left(item, Len(folder) + 1) = folder & "\" Then count = count + 1
Next
Check "For Each walks every file as a full path", count, 2
list.Add "a", "ka"
list.Add "b", "kb", 1
Check "Before puts the item first", list(1), "b"
Check "the default member takes a key in other case", list("KA"), "a"
On Error Resume Next
r = list("1")
Check "Item(""1"") is a key lookup: error 5", Err.Number, 5
Err.Clear
list.Add "c", "kb"
Check "a key used twice: error 457", Err.Number, 457
Err.Clear
r = list.Item(99)
Check "Item(99): Subscript out of range", Err.Number, 9
Err.Clear
On Error GoTo 0

Check "types of the answers: Empty, Integer, Date, Long", TypeName(info.zanFolderInfo(folder & "\missing", 0)) & _
    " " & TypeName(info.zanFolderInfo(folder, 18)) & " " & TypeName(info.zanFolderInfo(folder, 8)) & " " & _
    TypeName(info.zanFileInfo(folder & "\one.txt", 16)), "Empty Integer Date Long"

names = Array(folder & "\one.txt", folder & "\two.log")
Check "FilesCopy of an array variable copies both", info.FilesCopy(names, folder & "\to", False, True) And _
    fso.FileExists(folder & "\to\one.txt") And fso.FileExists(folder & "\to\two.log"), True
fso.GetFile(folder & "\to\one.txt").Attributes = 1
Check "FolderFileSetAttribute resets read-only files", info.FolderFileSetAttribute(folder, 0), True
Check "the file is normal again", fso.GetFile(folder & "\to\one.txt").Attributes And 1, 0
Check "FilesDelete of an array variable", info.FilesDelete(names, False, False, True), True
Check "both sources are gone", fso.FileExists(folder & "\one.txt") Or fso.FileExists(folder & "\two.log"), False
Check "CreateShortcut with the optional arguments left out", info.CreateShortcut("Ziel", folder & "\to\one.txt", folder), 0

Set writer = CreateObject("ZanKit.FileWriter")
writer.Filename = folder & "\lines\out.txt"
writer.WriteLine "abc"
writer.WriteFinish 5
Set stream = fso.OpenTextFile(folder & "\lines\out.txt")
Check "a text line and the number 5 between blanks", stream.ReadAll, "abc" & vbCrLf & " 5 " & vbCrLf
stream.Close

fso.DeleteFolder folder, True
WScript.Echo passed & " passed, " & failed & " failed"
