// FileSysInfo and the collection as JScript sees them: values (JScript never passes
// by reference), raised errors as numbers, undefined for a missing argument,
// Enumerator, arrays from JScript and from another component, and the host's bitness.
// check() and the counts come from include/check.js, which the test runner puts first.

var info = new ActiveXObject("ZanKit.FileSysInfo");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var folder = fso.GetSpecialFolder(2).Path + "\\zankit-js-" + fso.GetTempName();
fso.CreateFolder(folder);
fso.CreateFolder(folder + "\\to");
fso.CreateFolder(folder + "\\js");
fso.CreateTextFile(folder + "\\a.txt").Close();
fso.CreateTextFile(folder + "\\b.txt").Close();

var seen = [];
for (var e = new Enumerator(info.zanFolderInfo(folder, 59)); !e.atEnd(); e.moveNext()) seen.push(e.item());
check("Enumerator walks the file list", seen.sort().join("|"), folder + "\\a.txt|" + folder + "\\b.txt");

function raised(call) {
    try { call(); return "no error"; } catch (e) { return e.number + " " + e.description; }
}
check("a call after Terminate raises error 91", raised(function () {
    var http = new ActiveXObject("ZanKit.WinHttpWrapper");
    http.Terminate();
    http.OpenRequest("GET", "http://127.0.0.1/", false);
}), "-2146828197 Object variable or With block variable not set");

var list = info.zanFolderInfo(folder + "\\none", 59);
list.Add("first", "k1");
list.Add("second", "k2", undefined, "k1");  // undefined for Before, then After
check("Item by key", list.Item("k2"), "second");

// A Dictionary hands its keys to JScript as an array of Variants; a JScript array is an object.
var keys = new ActiveXObject("Scripting.Dictionary");
keys.Add(folder + "\\a.txt", 1);
keys.Add(folder + "\\b.txt", 2);
check("FilesCopy of an array from another component", info.FilesCopy(keys.Keys(), folder + "\\to", false, true), true);
check("FilesCopy of a JScript array", info.FilesCopy([folder + "\\a.txt", folder + "\\b.txt"], folder + "\\js", false, true), true);
// A String object has a length too, but it is one name, not a list of characters (one file
// copied to a name that does not exist yet is copied under that name).
check("FilesCopy of a String object", info.FilesCopy(new String(folder + "\\a.txt"), folder + "\\str", false, true), true);
check("all five copies exist", fso.FileExists(folder + "\\to\\b.txt") && fso.FileExists(folder + "\\js\\b.txt") &&
      fso.FileExists(folder + "\\str"), true);

// The test script passes the bitness of the script host.
var native = WScript.Arguments(0) === "64";
check("the script host's bitness (zanSysInfo 1)", info.zanSysInfo(1), native);
var system = info.zanFolderInfo("", 51).toLowerCase();
check("the system folder of this bitness", system.substring(system.lastIndexOf("\\") + 1), native ? "system32" : "syswow64");

fso.DeleteFolder(folder, true);
WScript.Echo(passed + " passed, " + failed + " failed");
