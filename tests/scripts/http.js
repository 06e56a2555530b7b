// WinHttpWrapper from JScript: created, ready, released. With the HTTP peer of
// tests/peers/run_http_tests.sh (its port in ZANKIT_HTTP_PORT) also the everyday use: open,
// set a header, send, read the status, the text and a header, and the errors a script sees.
var passed = 0, failed = 0;
function check(name, actual, expected) {
    if (actual === expected) { passed++; WScript.Echo("ok - " + name); }
    else { failed++; WScript.Echo("not ok - " + name + ": got [" + actual + "] expected [" + expected + "]"); }
}

var http = new ActiveXObject("ZanKit.WinHttpWrapper");
check("a new wrapper is ready", http.IsWinHttpReady, true);
check("and has no error", http.ErrorDescription, "");

var environment = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var port = environment("ZANKIT_HTTP_PORT");
if (port !== "") {
    http.OpenRequest("POST", "http://127.0.0.1:" + port + "/echo", false);
    http.SetRequestHeader("X-From", "JScript");
    http.Send("hello from JScript");
    check("the peer answered", http.Status, 200);
    check("the body came back", http.ResponseText, "hello from JScript");
    check("the header reached the peer", http.GetResponseHeader("X-Echo-X-From"), "JScript");

    http.OpenRequest("GET", "http://127.0.0.1:" + port + "/umlaut", false);
    http.Send(undefined);
    check("UTF-8 text with umlauts", http.ResponseText.substr(0, 9), "Gr\u00fc\u00dfe aus");

    var refused = new ActiveXObject("ZanKit.WinHttpWrapper");
    refused.OpenRequest("GET", "http://127.0.0.1:" + environment("ZANKIT_HTTP_CLOSED_PORT") + "/", false);
    try {
        refused.Send("");
        check("a refused connection raises", "no error", "error");
    } catch (e) {
        check("a refused connection raises", e.number, -2147012867);
    }
}

http.Terminate();
check("Terminate releases the request object", http.IsWinHttpReady, false);
try {
    http.OpenRequest("GET", "http://127.0.0.1/", false);
    check("OpenRequest after Terminate raises", "no error", "error");
} catch (e) {
    check("OpenRequest after Terminate raises", e.number & 0xFFFF, 91);
}

WScript.Echo(passed + " passed, " + failed + " failed");
