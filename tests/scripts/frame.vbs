' The frame as VBScript sees it: variables passed by reference, raised errors.
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

Dim info, p, r
Set info = CreateObject("ZanKit.FileSysInfo")
p = "C:\Temp"
r = info.FixPath(p)
Check "FixPath of a variable", r, "C:\Temp\"
Check "the variable keeps its text", p, "C:\Temp"
Check "FixPath of a literal", info.FixPath("C:\Temp\"), "C:\Temp\"
Check "FileNameFromPath of a variable", info.FileNameFromPath(p), "Temp"
Dim n : n = 5
Check "a number variable converts to text", info.FixPath(n), "5\"

Dim writer
Set writer = CreateObject("ZanKit.FileWriter")
writer.Filename = "C:\out.txt"
Check "a property put and get", writer.Filename, "C:\out.txt"

On Error Resume Next
writer.WriteFinish "line"
Check "raised error number", Err.Number, &H80004001
Check "raised error source", Err.Source, "ZanKit.FileWriter"
Check "raised error description", Err.Description, "not implemented"
Err.Clear
r = info.FixPath()
Check "missing argument (Argument not optional)", Err.Number, 449
Err.Clear
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
