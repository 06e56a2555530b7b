' The frame as VBScript sees it: variables passed by reference keep their type, raised errors,
' and the collection's default member and error numbers.
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

Dim info, p, r
Set info = CreateObject("ZanKit.FileSysInfo")
p = "C:\Temp"
Check "FixPath of a variable", info.FixPath(p), "C:\Temp\"
Check "the variable keeps its text", p, "C:\Temp"
Dim n : n = 5
Check "a number variable converts to text", info.FixPath(n), "5\"
Check "the number variable stays an Integer", TypeName(n), "Integer"
Dim big : big = 100000
r = info.FileNameFromPath(big)
Check "a Long variable stays a Long", TypeName(big), "Long"

On Error Resume Next
Dim http
Set http = CreateObject("ZanKit.WinHttpWrapper")
http.Terminate
http.OpenRequest "GET", "http://127.0.0.1/", False
Check "raised error number", Err.Number, 91
Check "raised error source", Err.Source, "ZanKit.WinHttpWrapper"
Check "raised error description", Err.Description, "Object variable or With block variable not set"
Err.Clear
r = info.FixPath()
Check "missing argument (Argument not optional)", Err.Number, 449
Err.Clear
On Error GoTo 0

Dim fso, list
Set fso = CreateObject("Scripting.FileSystemObject")
Set list = info.zanFolderInfo(fso.GetSpecialFolder(2).Path & "\zankit-vbs-empty-" & fso.GetTempName, 59)
list.Add "a", "ka"
list.Add "b", "kb", 1
Check "Before puts the item first", list(1), "b"
Check "the default member takes a key", list("KA"), "a"
On Error Resume Next
r = list("1")
Check "Item(""1"") is a key lookup: error 5", Err.Number, 5
Err.Clear
list.Add "c", "kb"
Check "a key used twice: error 457", Err.Number, 457
Err.Clear
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
