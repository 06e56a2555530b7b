// The shell members as JScript sees them: ShellEx's raised errors as numbers, CreateHyperlink
// and CreateShortcut with literal arguments (JScript passes nothing by reference).
var passed = 0, failed = 0;
function check(name, actual, expected) {
    if (actual === expected) { passed++; WScript.Echo("ok - " + name); }
    else { failed++; WScript.Echo("not ok - " + name + ": got [" + actual + "] expected [" + expected + "]"); }
}

var info = new ActiveXObject("ZanKit.FileSysInfo");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var folder = fso.GetSpecialFolder(2).Path + "\\zankit-js-" + fso.GetTempName();
fso.CreateFolder(folder);

try {
    info.ShellEx(folder + "\\missing.txt", 1);
    check("ShellEx on a missing file raises", "no error", "error");
} catch (err) {
    check("ShellEx on a missing file raises File not found", err.number, -2146828235);  // 0x800A0035
    check("with its text", err.description, "File not found");
}
fso.CreateTextFile(folder + "\\data.zknone").Close();
try {
    info.ShellEx(folder + "\\data.zknone");
    check("ShellEx without an association raises", "no error", "error");
} catch (err) {
    check("ShellEx without an association raises 31", err.number, -2146828257);  // 0x800A001F
}

check("CreateHyperlink answers true", info.CreateHyperlink("http://example.org/", "Seite", folder), true);
check("the file gets the .url ending", fso.FileExists(folder + "\\Seite.url"), true);
check("a blank name answers false", info.CreateHyperlink("http://example.org/", " ", folder), false);

fso.CreateTextFile(folder + "\\target.txt").Close();
check("CreateShortcut with hot key answers 0",
      info.CreateShortcut("Ziel", folder + "\\target.txt", folder, "", "", 0, 0x41, 6, 3), 0);
check("the link file exists", fso.FileExists(folder + "\\Ziel.lnk"), true);
try {
    info.CreateShortcut("Zu gross", folder + "\\target.txt", folder, "", "", 0, 0x41, 256);
    check("a modifier above 255 raises", "no error", "error");
} catch (err) {
    check("a modifier above 255 raises Overflow", err.number, -2146828282);  // 0x800A0006
}

fso.DeleteFolder(folder, true);
WScript.Echo(passed + " passed, " + failed + " failed");
