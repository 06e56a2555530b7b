// The dialogs as JScript sees them. Alone (as the test runner starts it) the script checks
// what needs no dialog; with the arguments "driven <folder>" a host test answers its
// dialogs like a user: it types "Liste.txt" into the open dialog titled "Skript: Datei"
// and presses OK in the folder dialog titled "Skript: Ordner".
var shell = new ActiveXObject("WScript.Shell");
var lastDirValue = "HKCU\\Software\\VB and VBA Program Settings\\Postwerk\\Dialogs\\LastDir";
var info = new ActiveXObject("ZanKit.FileSysInfo");
var temp = new ActiveXObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path;

// A filter index below 1 is a failure inside the member: no dialog, no error, Empty.
var raised = false, answer = null;
try { answer = info.BrowseForFile("", temp, 0, "x", false, -1, 2, "Text|*.txt", 0); } catch (e) { raised = true; }
check("a failing BrowseForFile raises nothing", raised, false);
check("and answers Empty", typeof answer, "undefined");
check("the start folder is remembered", shell.RegRead(lastDirValue), temp);

if (WScript.Arguments.length >= 3 && WScript.Arguments(1) == "driven") {
    var folder = WScript.Arguments(2);
    var file = info.BrowseForFile("", folder, 0, "Skript: Datei", false, -1);
    check("BrowseForFile answers the typed file", file, folder + "\\Liste.txt");
    check("its folder is remembered", shell.RegRead(lastDirValue), folder);
    var chosen = info.BrowseForFolder("", "Desktop", 0, 2, "", "Skript: Ordner");
    check("BrowseForFolder starts in the remembered folder and answers it", chosen, folder);
}
WScript.Echo(passed + " passed, " + failed + " failed");
