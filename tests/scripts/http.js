// WinHttpWrapper from JScript. With the peer of tests/peers/run_http_tests.sh (its port in
// ZANKIT_HTTP_PORT) also the everyday use: open, set a header, send, read status and text.
var http = new ActiveXObject("ZanKit.WinHttpWrapper");
check("a new wrapper is ready", http.IsWinHttpReady, true);

var port = new ActiveXObject("WScript.Shell").Environment("PROCESS")("ZANKIT_HTTP_PORT");
if (port !== "") {
    http.OpenRequest("POST", "http://127.0.0.1:" + port + "/echo", false);
    http.SetRequestHeader("X-From", "JScript");
    http.Send("hello from JScript");
    check("the peer answered", http.Status, 200);
    check("the body came back", http.ResponseText, "hello from JScript");
    check("the header reached the peer", http.GetResponseHeader("X-Echo-X-From"), "JScript");
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
