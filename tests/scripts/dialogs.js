// The dialogs as JScript sees them, as far as they need no user: a filter index below 1 is a
// failure inside BrowseForFile, which shows no dialog, raises nothing and answers Empty.
var shell = new ActiveXObject("WScript.Shell");
var info = new ActiveXObject("ZanKit.FileSysInfo");
var temp = new ActiveXObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path;
var raised = false, answer = null;
try { answer = info.BrowseForFile("", temp, 0, "x", false, -1, 2, "Text|*.txt", 0); } catch (e) { raised = true; }
check("a failing BrowseForFile raises nothing", raised, false);
check("and answers Empty", typeof answer, "undefined");
check("the start folder is remembered",
      shell.RegRead("HKCU\\Software\\VB and VBA Program Settings\\Postwerk\\Dialogs\\LastDir"), temp);
WScript.Echo(passed + " passed, " + failed + " failed");
