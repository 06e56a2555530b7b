' The dialogs as VBScript sees them, with variables written back. Alone (as the test runner
' starts it) the script checks what needs no dialog; with the arguments "driven <folder>" a
' host test answers its dialogs: in "Skript: Auswahl" it types "a.txt" "b.txt" and presses
' OK, in "Skript: Filter" it presses Cancel.

Dim info, folder, answer, index, owner
Set info = CreateObject("ZanKit.FileSysInfo")
folder = CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path
index = 0
owner = -1
answer = info.BrowseForFile("", folder, 0, "x", False, owner, 2, "Text|*.txt", index)
Check "a failing BrowseForFile answers Empty", IsEmpty(answer), True
Check "the start folder is written back", folder, CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path
Check "no owner stays -1", owner, -1

If WScript.Arguments.Count >= 3 Then
    If WScript.Arguments(1) = "driven" Then
        folder = WScript.Arguments(2)
        Dim start : start = folder
        answer = info.BrowseForFile("", start, 0, "Skript: Auswahl", True, owner)
        Check "a multiple selection is an array", IsArray(answer), True
        Check "counted from 1", LBound(answer), 1
        Check "of two paths", UBound(answer), 2
        Check "the first path", answer(1), folder & "\a.txt"
        Check "the second path", answer(2), folder & "\b.txt"
        Check "the folder is written back", start, folder
        index = 5
        answer = info.BrowseForFile("", start, 0, "Skript: Filter", False, owner, 2, "Text (*.txt)|*.txt|Alle|*.*", index)
        Check "the filter index is limited and written back", index, 2
        Check "Cancel answers Empty", IsEmpty(answer), True
    End If
End If
WScript.Echo passed & " passed, " & failed & " failed"
