' FolderCopy against the FileSystemObject's CopyFolder on the same tree, each into a fresh
' destination. Arguments: source folder, destination base, runs. Prints the best times.
Option Explicit
Dim source, base, runs, fso, info, run, started, zankit, fsoBest, target
source = WScript.Arguments(0)
base = WScript.Arguments(1)
runs = CLng(WScript.Arguments(2))
Set fso = CreateObject("Scripting.FileSystemObject")
Set info = CreateObject("ZanKit.FileSysInfo")
zankit = 1E+30 : fsoBest = 1E+30
For run = 1 To runs
    target = base & "\zankit" & run
    started = Timer
    If Not info.FolderCopy(source, target, False) Then WScript.Echo "FolderCopy failed"
    If Timer - started < zankit Then zankit = Timer - started
    fso.DeleteFolder target, True

    target = base & "\fso" & run
    fso.CreateFolder target
    started = Timer
    fso.CopyFolder source, target & "\", True
    If Timer - started < fsoBest Then fsoBest = Timer - started
    fso.DeleteFolder target, True
Next
WScript.Echo "zankit_ms=" & CLng(zankit * 1000) & " fso_ms=" & CLng(fsoBest * 1000)
