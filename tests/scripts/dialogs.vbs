' The dialogs as VBScript sees them, as far as they need no user: a filter index below 1 is a
' failure inside BrowseForFile, which shows no dialog, raises nothing and answers Empty.
Dim info, answer, index, owner, temp
Set info = CreateObject("ZanKit.FileSysInfo")
temp = CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path
index = 0
owner = -1
answer = info.BrowseForFile("", temp, 0, "x", False, owner, 2, "Text|*.txt", index)
Check "a failing BrowseForFile answers Empty", IsEmpty(answer), True
Check "no owner stays -1", owner, -1
Check "the start folder is remembered", CreateObject("WScript.Shell").RegRead( _
    "HKCU\Software\VB and VBA Program Settings\Postwerk\Dialogs\LastDir"), temp
WScript.Echo passed & " passed, " & failed & " failed"
