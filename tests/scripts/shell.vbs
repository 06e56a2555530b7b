' The shell members as VBScript sees them: CreateHyperlink writing back into the script's
' variables, ShellEx's raised error, CreateShortcut with its optional arguments left out.
Dim info, fso, folder, link, name
Set info = CreateObject("ZanKit.FileSysInfo")
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.GetSpecialFolder(2).Path & "\zankit-vbs-" & fso.GetTempName()
fso.CreateFolder folder

link = "info@example.org" : name = "Kontakt"
Check "CreateHyperlink answers True", info.CreateHyperlink(link, name, folder), True
Check "the name gets its ending", name, "Kontakt.url"
Check "the address gets its scheme", link, "mailto:info@example.org"

On Error Resume Next
info.ShellEx folder & "\missing.txt"
Check "ShellEx on a missing file raises 53", Err.Number, 53
Check "with its source", Err.Source, "FileSysInfo.ShellEx"
Err.Clear
On Error GoTo 0

fso.CreateTextFile(folder & "\target.txt").Close
Check "CreateShortcut answers 0", info.CreateShortcut("Ziel", folder & "\target.txt", folder, folder & "\"), 0

fso.DeleteFolder folder, True
WScript.Echo passed & " passed, " & failed & " failed"
