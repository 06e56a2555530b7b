// Folder listing and file-size questions: ZanKit.FileSysInfo against
// Scripting.FileSystemObject, late bound from the same script host. Prints one line per
// measurement (best of the runs, in milliseconds, or questions per second).
// Usage: cscript bench.js <folder> <runs> <questions>
var args = WScript.Arguments;
var folder = args(0), runs = parseInt(args(1), 10), questions = parseInt(args(2), 10);
var info = new ActiveXObject("ZanKit.FileSysInfo");
var fso = new ActiveXObject("Scripting.FileSystemObject");

function now() { return new Date().getTime(); }
function best(work) {
    var fastest = 1e300, answer = 0;
    for (var i = 0; i < runs; i++) {
        var start = now();
        answer = work();
        var ms = now() - start;
        if (ms < fastest) fastest = ms;
    }
    return { ms: fastest, answer: answer };
}

var callOnly = best(function () { return info.zanFolderInfo(folder, 59).Count; });
WScript.Echo("zankit_call_ms=" + callOnly.ms + " files=" + callOnly.answer);

var callAndWalk = best(function () {
    var n = 0;
    for (var e = new Enumerator(info.zanFolderInfo(folder, 59)); !e.atEnd(); e.moveNext()) { if (e.item()) n++; }
    return n;
});
WScript.Echo("zankit_walk_ms=" + callAndWalk.ms + " files=" + callAndWalk.answer);

var fsoWalk = best(function () {
    var n = 0;
    for (var e = new Enumerator(fso.GetFolder(folder).Files); !e.atEnd(); e.moveNext()) { if (e.item().Path) n++; }
    return n;
});
WScript.Echo("fso_walk_ms=" + fsoWalk.ms + " files=" + fsoWalk.answer);

var file = folder + "\\f000001.txt";
var start = now(), size = 0;
for (var i = 0; i < questions; i++) size += info.zanFileInfo(file, 16);
var zankitMs = Math.max(now() - start, 1);
WScript.Echo("zankit_size_per_s=" + Math.round(questions * 1000 / zankitMs) + " check=" + size);
start = now(); size = 0;
for (var i = 0; i < questions; i++) size += fso.GetFile(file).Size;
var fsoMs = Math.max(now() - start, 1);
WScript.Echo("fso_size_per_s=" + Math.round(questions * 1000 / fsoMs) + " check=" + size);
