// Prints "created" when this script host can create a ZanKit object and call it.
try {
    var info = new ActiveXObject("ZanKit.FileSysInfo");
    WScript.Echo(info.FixPath("C:") === "C:\\" ? "created" : "wrong answer");
} catch (e) {
    WScript.Echo("failed: " + e.description);
}
