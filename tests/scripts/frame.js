// The frame as JScript sees it: values (JScript never passes by reference), raised errors,
// and the collection's key lookup with undefined for a missing argument.
// check() and the counts come from include/check.js, which the test runner puts first.

var info = new ActiveXObject("ZanKit.FileSysInfo");
var p = "D:\\Data";
check("FixPath of a variable", info.FixPath(p), "D:\\Data\\");
check("the variable is unchanged", p, "D:\\Data");

var writer = new ActiveXObject("ZanKit.FileWriter");
writer.Filename = "C:\\out.txt";
check("a property put and get", writer.Filename, "C:\\out.txt");

try {
    var http = new ActiveXObject("ZanKit.WinHttpWrapper");
    http.Terminate();
    http.OpenRequest("GET", "http://127.0.0.1/", false);
    check("a call after Terminate raises", "no error", "error");
} catch (e) {
    check("raised error number (run-time error 91)", e.number, -2146828197);
    check("raised error description", e.description, "Object variable or With block variable not set");
}

// Add takes the key and, with undefined for Before, After.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var list = info.zanFolderInfo(fso.GetSpecialFolder(2).Path + "\\zankit-js-empty-" + fso.GetTempName(), 59);
list.Add("first", "k1");
list.Add("second", "k2", undefined, "k1");
check("Item by key", list.Item("k2"), "second");
check("Item by number", list.Item(1), "first");

WScript.Echo(passed + " passed, " + failed + " failed");
