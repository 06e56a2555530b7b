// The frame as JScript sees it: values (JScript never passes by reference), raised errors,
// and the collection's key lookup.
// check() and the counts come from include/check.js, which the test runner puts first.

var info = new ActiveXObject("ZanKit.FileSysInfo");
check("FixPath adds one separator", info.FixPath("C:\\Temp"), "C:\\Temp\\");
var p = "D:\\Data";
check("FixPath of a variable", info.FixPath(p), "D:\\Data\\");
check("the variable is unchanged", p, "D:\\Data");

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

// Keys: Item("1") looks up the key "1"; Add takes the key and, with undefined for Before, After.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var list = info.zanFolderInfo(fso.GetSpecialFolder(2).Path + "\\zankit-js-empty-" + fso.GetTempName(), 59);
list.Add("first", "k1");
list.Add("second", "k2", undefined, "k1");
check("Item by key", list.Item("k2"), "second");
check("Item by number", list.Item(1), "first");
try {
    list.Item("1");
    check("a number as text is a key", "no error", "error");
} catch (e) {
    check("a missing key raises error 5", e.number, -2146828283);
}

WScript.Echo(passed + " passed, " + failed + " failed");
