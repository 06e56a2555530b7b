// ZanKit queries demo: the system's answers, a table of the drives and a folder listing,
// all through ZanKit.FileSysInfo from a script host.
// Usage: cscript fileinfo_demo.js [folder]   (default: the Windows folder)
var info = new ActiveXObject("ZanKit.FileSysInfo");

function text(value) { return value === undefined ? "(Empty)" : value === null ? "(Null)" : String(value); }
function pad(value, width) { var s = text(value); while (s.length < width) s += " "; return s; }

WScript.Echo("System");
var system = [[1, "32-bit process on a 32-bit system or native"], [2, "NT family"], [3, "major version"],
              [4, "minor version"], [5, "build"], [6, "service pack"], [10, "computer"], [11, "user"],
              [30, "decimal delimiter"], [31, "currency"], [32, "short date"], [33, "currency delimiter"],
              [34, "list delimiter"]];
for (var i = 0; i < system.length; i++) {
    WScript.Echo("  " + pad(system[i][1], 44) + text(info.zanSysInfo(system[i][0])));
}

WScript.Echo("");
WScript.Echo("Drives (first CD-ROM drive: " + text(info.CDROMpresent() || "none") + ")");
WScript.Echo("  " + pad("drive", 7) + pad("ready", 7) + pad("type", 18) + pad("file system", 13) + pad("size", 11) + "free");
var mask = info.zanDriveInfo("C:", 21);
for (var n = 0; n < 26; n++) {
    if (!(mask & (1 << n))) continue;
    var drive = String.fromCharCode(65 + n) + ":";
    WScript.Echo("  " + pad(drive, 7) + pad(info.zanDriveInfo(drive, 1) ? "yes" : "no", 7) +
                 pad(info.zanDriveInfo(drive, 3), 18) + pad(info.zanDriveInfo(drive, 9), 13) +
                 pad(info.zanDriveInfo(drive, 11), 11) + text(info.zanDriveInfo(drive, 13)));
}

var folder = WScript.Arguments.length > 0 ? WScript.Arguments(0) : info.zanFolderInfo("", 50);
WScript.Echo("");
WScript.Echo("Folder " + folder + " (created " + text(info.zanFolderInfo(folder, 8)) + ")");
for (var e = new Enumerator(info.zanFolderInfo(folder, 61)); !e.atEnd(); e.moveNext()) {
    WScript.Echo("  [" + info.zanFolderInfo(e.item(), 1) + "]");
}
var files = info.zanFolderInfo(folder, 59);
for (var e = new Enumerator(files); !e.atEnd(); e.moveNext()) {
    var file = e.item();
    WScript.Echo("  " + pad(info.zanFileInfo(file, 2), 28) + pad(info.zanFileInfo(file, 17), 14) +
                 pad(info.zanFileInfo(file, 20), 6) + text(info.zanFileInfo(file, 9)));
}
WScript.Echo("  " + files.Count + " files");
WScript.Echo("");
WScript.Echo("Special folders: desktop " + info.zanFolderInfo("", 49) + ", documents " + info.zanFolderInfo("", 56) +
             ", temp " + info.zanFolderInfo("", 54) + ", system " + info.zanFolderInfo("", 51));
