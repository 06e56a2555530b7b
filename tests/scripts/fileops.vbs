' The file operations and FileWriter as VBScript sees them: arrays passed from script
' variables, attributes through the FileSystemObject, and the lines a FileWriter leaves.

Dim info, fso, folder, names, writer, stream, text
Set info = CreateObject("ZanKit.FileSysInfo")
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.GetSpecialFolder(2).Path & "\zankit-vbs-" & fso.GetTempName()
fso.CreateFolder folder
fso.CreateFolder folder & "\to"
fso.CreateTextFile(folder & "\one.txt").Close
fso.CreateTextFile(folder & "\two.txt").Close

names = Array(folder & "\one.txt", folder & "\two.txt")
Check "FilesCopy of an array variable", info.FilesCopy(names, folder & "\to", False, True), True
Check "both copies exist", fso.FileExists(folder & "\to\one.txt") And fso.FileExists(folder & "\to\two.txt"), True
Check "FilesDelete of an array variable", info.FilesDelete(names, False, False, True), True
Check "both sources are gone", fso.FileExists(folder & "\one.txt") Or fso.FileExists(folder & "\two.txt"), False
Check "FilesCopy of a missing file", info.FilesCopy(folder & "\none.txt", folder & "\to", False, True), False

fso.GetFile(folder & "\to\one.txt").Attributes = 1
Check "FolderFileSetAttribute resets read-only files", info.FolderFileSetAttribute(folder, 0), True
Check "the file is normal again", fso.GetFile(folder & "\to\one.txt").Attributes And 1, 0

Set writer = CreateObject("ZanKit.FileWriter")
writer.Filename = folder & "\lines\out.txt"
writer.WriteLine "abc"
writer.WriteFinish "def"
Check "two lines make ten bytes", fso.GetFile(folder & "\lines\out.txt").Size, 10
writer.WriteFinish 5
Set stream = fso.OpenTextFile(folder & "\lines\out.txt")
text = stream.ReadAll
stream.Close
Check "the number 5 between blanks", text, " 5 " & vbCrLf

fso.DeleteFolder folder, True
WScript.Echo passed & " passed, " & failed & " failed"
