// The FileSysInfo queries as JScript sees them: the name list with Enumerator, Empty as
// undefined, the CD-ROM drive and the answers that depend on the script host's bitness.
// check() and the counts come from include/check.js, which the test runner puts first.

var info = new ActiveXObject("ZanKit.FileSysInfo");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var folder = fso.GetSpecialFolder(2).Path + "\\zankit-js-" + fso.GetTempName();
fso.CreateFolder(folder);
fso.CreateTextFile(folder + "\\a.log").Close();
fso.CreateTextFile(folder + "\\c.txt").Close();
fso.CreateFolder(folder + "\\sub");

var seen = [];
for (var e = new Enumerator(info.zanFolderInfo(folder, 59)); !e.atEnd(); e.moveNext()) seen.push(e.item());
check("Enumerator walks the file list", seen.sort().join("|"), folder + "\\a.log|" + folder + "\\c.txt");
try {
    info.zanFolderInfo(folder, 59).Item(99);
    check("Item(99) raises", "no error", "error");
} catch (err) {
    check("Item(99) raises Subscript out of range", err.number, -2146828279);  // 0x800A0009
}
check("missing file size is Empty", typeof info.zanFileInfo(folder + "\\none.txt", 16), "undefined");
check("CD-ROM drive of the test prefix", info.CDROMpresent(), "D:");

// The test script passes the bitness of the script host.
if (WScript.Arguments.length > 0) {
    var native = WScript.Arguments(0) === "64";
    check("the script host's bitness (zanSysInfo 1)", info.zanSysInfo(1), native);
    var system = info.zanFolderInfo("", 51).toLowerCase();
    check("the system folder of this bitness", system.substring(system.lastIndexOf("\\") + 1),
          native ? "system32" : "syswow64");
}

fso.DeleteFolder(folder, true);
WScript.Echo(passed + " passed, " + failed + " failed");
