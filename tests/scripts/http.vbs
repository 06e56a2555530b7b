' WinHttpWrapper from VBScript: created, ready, released. With the HTTP peer of
' tests/peers/run_http_tests.sh (its port in ZANKIT_HTTP_PORT) also the everyday use: open,
' set a header, send, read the status, the text and a header, and the errors a script sees.
Option Explicit
Dim passed, failed
passed = 0 : failed = 0
Sub Check(name, actual, expected)
    If actual = expected Then
        passed = passed + 1 : WScript.Echo "ok - " & name
    Else
        failed = failed + 1 : WScript.Echo "not ok - " & name & ": got [" & actual & "] expected [" & expected & "]"
    End If
End Sub

Dim http, port, url, method, async
Set http = CreateObject("ZanKit.WinHttpWrapper")
Check "a new wrapper is ready", http.IsWinHttpReady, True
Check "and has no error", http.ErrorDescription, ""

port = CreateObject("WScript.Shell").Environment("PROCESS")("ZANKIT_HTTP_PORT")
If port <> "" Then
    method = "POST" : url = "http://127.0.0.1:" & port & "/echo" : async = False
    http.OpenRequest method, url, async
    http.SetRequestHeader "X-From", "VBScript"
    http.Send "hello from VBScript"
    Check "the peer answered", http.Status, 200
    Check "the body came back", http.ResponseText, "hello from VBScript"
    Check "the header reached the peer", http.GetResponseHeader("X-Echo-X-From"), "VBScript"
    Check "the variables keep their values", method & " " & async, "POST False"

    http.OpenRequest "GET", "http://127.0.0.1:" & port & "/umlaut", False
    http.Send Empty
    ' Chr of the ANSI code page (1252 here): this script engine has no ChrW.
    Check "UTF-8 text with umlauts", Left(http.ResponseText, 9) = "Gr" & Chr(252) & Chr(223) & "e aus", True

    Dim refused : Set refused = CreateObject("ZanKit.WinHttpWrapper")
    refused.OpenRequest "GET", "http://127.0.0.1:" & _
        CreateObject("WScript.Shell").Environment("PROCESS")("ZANKIT_HTTP_CLOSED_PORT") & "/", False
    On Error Resume Next
    refused.Send ""
    Check "a refused connection raises", Hex(Err.Number), "80072EFD"
    Err.Clear
    On Error GoTo 0
End If

http.Terminate
Check "Terminate releases the request object", http.IsWinHttpReady, False
On Error Resume Next
http.OpenRequest "GET", "http://127.0.0.1/", False
Check "OpenRequest after Terminate raises", Err.Number, 91
Err.Clear
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
