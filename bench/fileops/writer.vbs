' FileWriter.WriteLine against the FileSystemObject's TextStream.WriteLine: the same lines of
' 80 characters into two files, best of several runs. Arguments: folder, lines, runs, and
' "utf8" and a line of text: that line written as UTF-8 against the text stream in Unicode.
Option Explicit
Dim folder, lines, runs, fso, line, i, run, started, best, writer, stream, zankit, fsoBest, utf8
folder = WScript.Arguments(0)
lines = CLng(WScript.Arguments(1))
runs = CLng(WScript.Arguments(2))
utf8 = WScript.Arguments.Count > 3
If utf8 Then utf8 = (WScript.Arguments(3) = "utf8")
Set fso = CreateObject("Scripting.FileSystemObject")
line = String(80, "x")
If utf8 Then line = WScript.Arguments(4)  ' Wine's VBScript stops at ChrW

zankit = 1E+30 : fsoBest = 1E+30
For run = 1 To runs
    started = Timer
    Set writer = CreateObject("ZanKit.FileWriter")
    If utf8 Then writer.Encoding = 1
    writer.Filename = folder & "\zankit.txt"
    For i = 1 To lines
        writer.WriteLine line
    Next
    writer.WriteFinish line
    Set writer = Nothing
    If Timer - started < zankit Then zankit = Timer - started

    started = Timer
    Set stream = fso.CreateTextFile(folder & "\fso.txt", True, utf8)
    For i = 1 To lines
        stream.WriteLine line
    Next
    stream.WriteLine line
    stream.Close
    If Timer - started < fsoBest Then fsoBest = Timer - started
Next
WScript.Echo "zankit_ms=" & CLng(zankit * 1000) & " fso_ms=" & CLng(fsoBest * 1000) & _
    " zankit_bytes=" & fso.GetFile(folder & "\zankit.txt").Size & " fso_bytes=" & fso.GetFile(folder & "\fso.txt").Size
