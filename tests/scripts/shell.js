// The shell members as JScript sees them: raised errors as numbers, and literal arguments where
// VBScript would pass variables by reference.
var info = new ActiveXObject("ZanKit.FileSysInfo");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var folder = fso.GetSpecialFolder(2).Path + "\\zankit-js-" + fso.GetTempName();
fso.CreateFolder(folder);

try {
    info.ShellEx(folder + "\\missing.txt", 1);
    check("ShellEx on a missing file raises", "no error", "error");
} catch (err) {
    check("ShellEx on a missing file raises File not found", err.number, -2146828235);  // 0x800A0035
}
check("CreateHyperlink with literals answers true", info.CreateHyperlink("http://example.org/", "Seite", folder), true);
check("and writes the file", fso.FileExists(folder + "\\Seite.url"), true);
fso.CreateTextFile(folder + "\\target.txt").Close();
check("CreateShortcut with a hot key answers 0",
      info.CreateShortcut("Ziel", folder + "\\target.txt", folder, "", "", 0, 0x41, 6, 3), 0);
try {
    info.CreateShortcut("Zu gross", folder + "\\target.txt", folder, "", "", 0, 0x41, 256);
    check("a modifier above 255 raises", "no error", "error");
} catch (err) {
    check("a modifier above 255 raises Overflow", err.number, -2146828282);  // 0x800A0006
}

fso.DeleteFolder(folder, true);
WScript.Echo(passed + " passed, " + failed + " failed");
