// The file operations and FileWriter as JScript sees them: a name list that came from
// another component as an array, the answers as booleans, and a FileWriter's lines.

var info = new ActiveXObject("ZanKit.FileSysInfo");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var folder = fso.GetSpecialFolder(2).Path + "\\zankit-js-" + fso.GetTempName();
fso.CreateFolder(folder);
fso.CreateFolder(folder + "\\to");
fso.CreateTextFile(folder + "\\a.txt").Close();
fso.CreateTextFile(folder + "\\b.txt").Close();

// A Dictionary hands its keys to JScript as an array of Variants.
var list = new ActiveXObject("Scripting.Dictionary");
list.Add(folder + "\\a.txt", 1);
list.Add(folder + "\\b.txt", 2);
check("FilesCopy of an array from another component", info.FilesCopy(list.Keys(), folder + "\\to", false, true), true);
check("both copies exist", fso.FileExists(folder + "\\to\\a.txt") && fso.FileExists(folder + "\\to\\b.txt"), true);
fso.CreateFolder(folder + "\\js");
check("FilesCopy of a JScript array", info.FilesCopy([folder + "\\a.txt", folder + "\\b.txt"], folder + "\\js", false, true), true);
check("the array's names were copied", fso.FileExists(folder + "\\js\\a.txt") && fso.FileExists(folder + "\\js\\b.txt"), true);
check("FilesDelete of a single name", info.FilesDelete(folder + "\\a.txt", false, false, true), true);
check("the file is gone", fso.FileExists(folder + "\\a.txt"), false);
check("FolderFileSetAttribute on a missing path", info.FolderFileSetAttribute(folder + "\\none", 0), false);

var writer = new ActiveXObject("ZanKit.FileWriter");
writer.Filename = folder + "\\out.txt";
writer.WriteLine("abc");
writer.WriteFinish("def");
check("two lines make ten bytes", fso.GetFile(folder + "\\out.txt").Size, 10);
writer.WriteFinish(5);
var stream = fso.OpenTextFile(folder + "\\out.txt");
check("the number 5 between blanks", stream.ReadAll(), " 5 \r\n");
stream.Close();

fso.DeleteFolder(folder, true);
WScript.Echo(passed + " passed, " + failed + " failed");
