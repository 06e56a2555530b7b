// Creates every ZanKit class by ProgID and prints one line: how many could be created,
// then the file versions of the DLLs named on the command line.
var progIds = ["ZanKit.FileSysInfo", "ZanKit.FileIcon", "ZanKit.FileWriter", "ZanKit.clsSendMail",
               "ZanKit.WinHttpWrapper"];
var created = 0;
for (var i = 0; i < progIds.length; i++) {
    try {
        new ActiveXObject(progIds[i]);
        created++;
    } catch (e) {
    }
}
var fso = new ActiveXObject("Scripting.FileSystemObject");
var versions = [];
for (var j = 0; j < WScript.Arguments.length; j++) versions.push(fso.GetFileVersion(WScript.Arguments(j)));
WScript.Echo("created " + created + " of " + progIds.length + (versions.length ? " versions " + versions.join(" ") : ""));
