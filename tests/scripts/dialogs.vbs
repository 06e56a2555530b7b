' The dialogs as VBScript sees them, as far as they need no user: a filter index below 1 is a
' failure inside BrowseForFile, which shows no dialog and answers Empty.
Dim info, answer, index, owner
Set info = CreateObject("ZanKit.FileSysInfo")
index = 0
owner = -1
answer = info.BrowseForFile("", "C:\", 0, "x", False, owner, 2, "Text|*.txt", index)
Check "a failing BrowseForFile answers Empty", IsEmpty(answer), True
Check "no owner stays -1", owner, -1
WScript.Echo passed & " passed, " & failed & " failed"
