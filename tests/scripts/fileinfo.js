// The FileSysInfo queries as JScript sees them: answers, the name lists with Enumerator,
// drives and special folders.
var passed = 0, failed = 0;
function check(name, actual, expected) {
    if (actual === expected) { passed++; WScript.Echo("ok - " + name); }
    else { failed++; WScript.Echo("not ok - " + name + ": got [" + actual + "] expected [" + expected + "]"); }
}

var info = new ActiveXObject("ZanKit.FileSysInfo");
var fso = new ActiveXObject("Scripting.FileSystemObject");

// A folder of its own with three files and two sub-folders.
var folder = fso.GetSpecialFolder(2).Path + "\\zankit-js-" + fso.GetTempName();
fso.CreateFolder(folder);
fso.CreateTextFile(folder + "\\a.log").Write("12345");
fso.CreateTextFile(folder + "\\b.log").Close();
fso.CreateTextFile(folder + "\\c.txt").Close();
fso.CreateFolder(folder + "\\sub");
fso.CreateFolder(folder + "\\.cache");

var all = info.zanFolderInfo(folder, 59);
check("file list count", all.Count, 3);
var seen = [];
for (var e = new Enumerator(all); !e.atEnd(); e.moveNext()) seen.push(e.item());
seen.sort();
check("Enumerator walks the file list", seen.join("|"),
      [folder + "\\a.log", folder + "\\b.log", folder + "\\c.txt"].join("|"));
check("Item(1) is a full path", all.Item(1).indexOf(folder + "\\"), 0);
try {
    all.Item(99);
    check("Item(99) raises", "no error", "error");
} catch (err) {
    check("Item(99) raises Subscript out of range", err.number, -2146828279);  // 0x800A0009
}
check("pattern list count", info.zanFolderInfo(folder + "\\*.log", 59).Count, 2);
check("missing folder gives an empty list", info.zanFolderInfo(folder + "\\none", 59).Count, 0);
var subs = info.zanFolderInfo(folder, 61);
check("folder list leaves dot folders out", subs.Count, 1);
check("folder list item", subs.Item(1), folder + "\\sub");

check("file exists", info.zanFileInfo(folder + "\\a.log", 0), true);
check("file size", info.zanFileInfo(folder + "\\a.log", 16), 5);
check("file extension", info.zanFileInfo(folder + "\\a.log", 4), "log");
check("missing file size is Empty", typeof info.zanFileInfo(folder + "\\none.txt", 16), "undefined");
check("executable", info.zanFileInfo("setup.exe", 50), true);

check("drive C exists", info.zanDriveInfo("C", 0), true);
check("drive C type text", info.zanDriveInfo("C:", 3), "Lokales Laufwerk");
check("drive C root", info.zanDriveInfo("c:\\windows", 6), "C:\\");
check("CD-ROM drive", info.CDROMpresent(), "D:");

var temp = info.zanFolderInfo("", 54);
check("temporary folder ends in a separator", temp.charAt(temp.length - 1), "\\");
check("desktop ignores the specification", info.zanFolderInfo("Q:\\nothing", 49), info.zanFolderInfo("", 49));
check("folder exists", info.zanFolderInfo(folder, 0), true);
check("missing folder is Empty", typeof info.zanFolderInfo(folder + "\\none", 0), "undefined");
check("number of files is -1", info.zanFolderInfo(folder, 18), -1);
check("decimal delimiter is one character", info.zanSysInfo(30).length, 1);

// The test script passes the bitness of the script host.
if (WScript.Arguments.length > 0) {
    var native = WScript.Arguments(0) === "64";
    check("the script host's bitness (zanSysInfo 1)", info.zanSysInfo(1), native);
    var system = info.zanFolderInfo("", 51).toLowerCase();
    check("the system folder of this bitness", system.substring(system.lastIndexOf("\\") + 1), native ? "system32" : "syswow64");
}

fso.DeleteFolder(folder, true);
WScript.Echo(passed + " passed, " + failed + " failed");
