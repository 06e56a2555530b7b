' Late-bound calls from the script host: FixPath against the FileSystemObject's GetFileName,
' in the same host and run. Usage: cscript bench.vbs [calls]
Option Explicit
Dim calls, info, fso, i, r, start, zankit, other
calls = 1000000
If WScript.Arguments.Count > 0 Then calls = CLng(WScript.Arguments(0))
Set info = CreateObject("ZanKit.FileSysInfo")
Set fso = CreateObject("Scripting.FileSystemObject")

start = Timer
For i = 1 To calls
    r = info.FixPath("C:\Temp")
Next
zankit = Timer - start

start = Timer
For i = 1 To calls
    r = fso.GetFileName("C:\Temp\a.txt")
Next
other = Timer - start

WScript.Echo "script calls=" & calls & " fixpath_s=" & FormatNumber(zankit, 3, , , 0) & _
    " fso_getfilename_s=" & FormatNumber(other, 3, , , 0) & " ratio=" & FormatNumber(zankit / other, 2, , , 0)
