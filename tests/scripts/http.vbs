' WinHttpWrapper from VBScript. With the peer of tests/peers/run_http_tests.sh (its port in
' ZANKIT_HTTP_PORT) also the everyday use: open, set a header, send, read status and text.
Dim http, port, method
Set http = CreateObject("ZanKit.WinHttpWrapper")
Check "a new wrapper is ready", http.IsWinHttpReady, True

port = CreateObject("WScript.Shell").Environment("PROCESS")("ZANKIT_HTTP_PORT")
If port <> "" Then
    method = "POST"
    http.OpenRequest method, "http://127.0.0.1:" & port & "/echo", False
    http.SetRequestHeader "X-From", "VBScript"
    http.Send "hello from VBScript"
    Check "the peer answered", http.Status, 200
    Check "the body came back", http.ResponseText, "hello from VBScript"
    Check "the header reached the peer", http.GetResponseHeader("X-Echo-X-From"), "VBScript"
    Check "the variable passed by reference keeps its value", method, "POST"
End If

http.Terminate
Check "Terminate releases the request object", http.IsWinHttpReady, False
On Error Resume Next
http.OpenRequest "GET", "http://127.0.0.1/", False
Check "OpenRequest after Terminate raises", Err.Number, 91
On Error GoTo 0
WScript.Echo passed & " passed, " & failed & " failed"
