// The frame as JScript sees it: objects by ProgID, FixPath, raised errors.
var passed = 0, failed = 0;
function check(name, actual, expected) {
    if (actual === expected) { passed++; WScript.Echo("ok - " + name); }
    else { failed++; WScript.Echo("not ok - " + name + ": got [" + actual + "] expected [" + expected + "]"); }
}

var progIds = ["ZanKit.FileSysInfo", "ZanKit.FileIcon", "ZanKit.FileWriter", "ZanKit.clsSendMail", "ZanKit.WinHttpWrapper"];
for (var i = 0; i < progIds.length; i++) {
    var created = false;
    try { created = new ActiveXObject(progIds[i]) != null; } catch (e) { created = false; }
    check("creates " + progIds[i], created, true);
}

var info = new ActiveXObject("ZanKit.FileSysInfo");
check("FixPath adds one separator", info.FixPath("C:\\Temp"), "C:\\Temp\\");
check("FixPath keeps an existing separator", info.FixPath("C:\\Temp\\"), "C:\\Temp\\");
check("FixPath of an empty string", info.FixPath(""), "\\");
var p = "D:\\Data";
check("FixPath of a variable", info.FixPath(p), "D:\\Data\\");
check("the variable is unchanged", p, "D:\\Data");
check("FileNameFromPath", info.FileNameFromPath("\\\\server\\share\\x"), "x");

var writer = new ActiveXObject("ZanKit.FileWriter");
writer.Filename = "C:\\out.txt";
check("a property put and get", writer.Filename, "C:\\out.txt");

// An unbuilt member raises E_NOTIMPL with its description.
try {
    writer.WriteFinish("line");
    check("unbuilt member raises", "no error", "error");
} catch (e) {
    check("raised error number", e.number, -2147467263);
    check("raised error description", e.description, "not implemented");
}

// A missing required argument is refused, not guessed.
try {
    info.FixPath();
    check("missing argument raises", "no error", "error");
} catch (e) {
    check("missing argument number", e.number, -2147352561);
}

WScript.Echo(passed + " passed, " + failed + " failed");
