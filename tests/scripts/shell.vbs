' The shell members as VBScript sees them: CreateHyperlink writing the ".url" ending and the
' "mailto:" prefix back into the script's variables, ShellEx's raised errors, CreateShortcut.
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

Dim info, fso, folder, link, name, r, text
Set info = CreateObject("ZanKit.FileSysInfo")
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.GetSpecialFolder(2).Path & "\zankit-vbs-" & fso.GetTempName()
fso.CreateFolder folder

link = "info@example.org" : name = "Kontakt"
r = info.CreateHyperlink(link, name, folder)
Check "CreateHyperlink answers True", r, True
Check "the name gets its ending", name, "Kontakt.url"
Check "the address gets its scheme", link, "mailto:info@example.org"
text = fso.OpenTextFile(folder & "\Kontakt.url").ReadAll()
Check "the file holds the two lines", text, "[InternetShortcut]" & vbCrLf & "URL=mailto:info@example.org" & vbCrLf

link = "" : name = "Leer"
Check "a blank link answers False", info.CreateHyperlink(link, name, folder), False
Check "but the name is extended", name, "Leer.url"
Check "and nothing is written", fso.FileExists(folder & "\Leer.url"), False

On Error Resume Next
r = info.ShellEx(folder & "\missing.txt")
Check "ShellEx on a missing file raises 53", Err.Number, 53
Check "with its source", Err.Source, "FileSysInfo.ShellEx"
Check "and its text", Err.Description, "File not found"
Err.Clear
On Error GoTo 0

fso.CreateTextFile(folder & "\target.txt").Close
Check "CreateShortcut answers 0", info.CreateShortcut("Ziel", folder & "\target.txt", folder, folder & "\"), 0
Check "the link file exists", fso.FileExists(folder & "\Ziel.lnk"), True
Check "a missing target answers a failure code", info.CreateShortcut("Kein", folder & "\none.txt", folder) <> 0, True
Check "and writes no link", fso.FileExists(folder & "\Kein.lnk"), False

fso.DeleteFolder folder, True
WScript.Echo passed & " passed, " & failed & " failed"
