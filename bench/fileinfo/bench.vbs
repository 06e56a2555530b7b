' Folder listing and file-size questions: ZanKit.FileSysInfo against
' Scripting.FileSystemObject, late bound from the same script host. VBScript, because Wine's
' JScript cannot enumerate the FileSystemObject's Files collection. Prints one line per
' measurement: the best of the runs in milliseconds, or questions per second.
' Usage: cscript bench.vbs <folder> <runs> <questions>
Option Explicit
Dim folder, runs, questions, info, fso
folder = WScript.Arguments(0)
runs = CLng(WScript.Arguments(1))
questions = CLng(WScript.Arguments(2))
Set info = CreateObject("ZanKit.FileSysInfo")
Set fso = CreateObject("Scripting.FileSystemObject")

Function Milliseconds(started)
    Milliseconds = Int((Timer - started) * 1000 + 0.5)
End Function

Dim run, started, ms, best, files, item, list

best = 1E+300
For run = 1 To runs
    started = Timer
    Set list = info.zanFolderInfo(folder, 59)
    files = list.Count
    ms = Milliseconds(started)
    Set list = Nothing
    If ms < best Then best = ms
Next
WScript.Echo "zankit_call_ms=" & best & " files=" & files

best = 1E+300
For run = 1 To runs
    started = Timer
    files = 0
    For Each item In info.zanFolderInfo(folder, 59)
        If Len(item) > 0 Then files = files + 1
    Next
    ms = Milliseconds(started)
    If ms < best Then best = ms
Next
WScript.Echo "zankit_walk_ms=" & best & " files=" & files

best = 1E+300
For run = 1 To runs
    started = Timer
    files = 0
    For Each item In fso.GetFolder(folder).Files
        If Len(item.Path) > 0 Then files = files + 1
    Next
    ms = Milliseconds(started)
    If ms < best Then best = ms
Next
WScript.Echo "fso_walk_ms=" & best & " files=" & files

Dim file, i, size, zankitBest, fsoBest
' Rounds alternate between the two, so that a busy machine hurts both alike; best rate each.
file = folder & "\f000001.txt"
zankitBest = 0 : fsoBest = 0
For run = 1 To runs
    started = Timer : size = 0
    For i = 1 To questions
        size = size + info.zanFileInfo(file, 16)
    Next
    ms = Milliseconds(started) : If ms < 1 Then ms = 1
    If questions * 1000 / ms > zankitBest Then zankitBest = questions * 1000 / ms
    started = Timer : size = 0
    For i = 1 To questions
        size = size + fso.GetFile(file).Size
    Next
    ms = Milliseconds(started) : If ms < 1 Then ms = 1
    If questions * 1000 / ms > fsoBest Then fsoBest = questions * 1000 / ms
Next
WScript.Echo "zankit_size_per_s=" & Int(zankitBest) & " check=" & size
WScript.Echo "fso_size_per_s=" & Int(fsoBest) & " check=" & size
