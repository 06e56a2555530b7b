// ZanKit demo: creates each class from a script host and prints what it answers.
function show(label, fn) {
    var answer;
    try { answer = fn(); } catch (e) { answer = "(error " + (e.number >>> 0).toString(16) + ": " + e.description + ")"; }
    WScript.Echo("  " + label + " = " + answer);
}

WScript.Echo("ZanKit.FileSysInfo");
var info = new ActiveXObject("ZanKit.FileSysInfo");
show('FixPath("C:\\Temp")', function () { return info.FixPath("C:\\Temp"); });
show('FileNameFromPath("C:\\Temp\\report.txt")', function () { return info.FileNameFromPath("C:\\Temp\\report.txt"); });
show('FolderCreate("C:\\ZanKitDemo\\a\\b")', function () { return info.FolderCreate("C:\\ZanKitDemo\\a\\b"); });

WScript.Echo("ZanKit.FileWriter");
var writer = new ActiveXObject("ZanKit.FileWriter");
writer.Filename = "C:\\ZanKitDemo\\out.txt";
show("Filename", function () { return writer.Filename; });

WScript.Echo("ZanKit.FileIcon, ZanKit.clsSendMail, ZanKit.WinHttpWrapper");
show("created", function () {
    return [new ActiveXObject("ZanKit.FileIcon"), new ActiveXObject("ZanKit.clsSendMail"),
            new ActiveXObject("ZanKit.WinHttpWrapper")].length + " objects";
});
