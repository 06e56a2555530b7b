' WinHttpWrapper and the system request object side by side: each exchange runs once through
' the wrapper and once through "WinHttp.WinHttpRequest.5.1" itself, and both must give the same
' answer. The peers' ports come from the test runner's environment.
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

' Wine's script host and request object count a string's closing NUL into some answers.
Function UpToNul(text)
    UpToNul = text
    If InStr(text, Chr(0)) > 0 Then UpToNul = Left(text, InStr(text, Chr(0)) - 1)
End Function

Dim shell, echoPort, proxy, parts, user, password
Set shell = CreateObject("WScript.Shell")
echoPort = UpToNul(shell.ExpandEnvironmentStrings("%ZANKIT_HTTP_PORT%"))
proxy = "127.0.0.1:" & UpToNul(shell.ExpandEnvironmentStrings("%ZANKIT_PROXY_PORT%"))
parts = Split(UpToNul(shell.ExpandEnvironmentStrings("%ZANKIT_PROXY_CREDENTIALS%")), ":")
user = parts(0) : password = parts(1)

' A response header, "" when there is none.
Function Header(http, name)
    On Error Resume Next
    Header = ""
    Header = UpToNul(http.GetResponseHeader(name))
    Err.Clear
End Function

' One GET as the answer's text. proxySetting and credentialsFor: -1 for none; setOption: "",
' "no redirects" or "unknown" (an option id the request object does not have).
Function Exchange(throughWrapper, url, proxySetting, credentialsFor, setOption)
    Dim http
    On Error Resume Next
    If throughWrapper Then
        Set http = CreateObject("ZanKit.WinHttpWrapper")
        http.OpenRequest "GET", url, False
    Else
        Set http = CreateObject("WinHttp.WinHttpRequest.5.1")
        http.Open "GET", url, False
    End If
    If proxySetting = 2 Then http.SetProxy 2, proxy
    If proxySetting = 1 Then http.SetProxy 1
    If credentialsFor >= 0 Then http.SetCredentials user, password, credentialsFor
    If setOption = "no redirects" Then http.Option(6) = False
    If setOption = "unknown" Then http.Option(99) = 1
    If throughWrapper Then http.Send "" Else http.Send
    If Err.Number <> 0 Then
        Exchange = "error " & Err.Number
        Exit Function
    End If
    Exchange = http.Status & " via=" & Header(http, "Via") & " proxy credentials at the origin=" & _
        Header(http, "X-Echo-Proxy-Authorization") & " text=" & http.ResponseText
    If Err.Number <> 0 Then Exchange = "error " & Err.Number
End Function

Sub SideBySide(name, url, proxySetting, credentialsFor, setOption)
    Dim wrapped, direct
    wrapped = Exchange(True, url, proxySetting, credentialsFor, setOption)
    direct = Exchange(False, url, proxySetting, credentialsFor, setOption)
    Check name & ": the wrapper answers as the request object", wrapped, direct
    Check name & ": no proxy credentials reached the origin", InStr(wrapped, "Basic"), 0
End Sub

' The origin is named "localhost" for the proxy at 127.0.0.1 (Wine sends a proxy of the same host
' name the origin's own request line).
Dim origin, json
origin = "http://localhost:" & echoPort
json = "/text?type=application%2Fjson%3B%20charset%3Dutf-8&text=%7B%22ru%22%3A%22%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82" & _
    "%22%2C%22ja%22%3A%22%E6%97%A5%E6%9C%AC%E8%AA%9E%22%2C%22emoji%22%3A%22%F0%9F%98%80%22%7D"
SideBySide "named proxy with proxy credentials", origin & "/echo", 2, 1, ""
SideBySide "named proxy without credentials", origin & "/echo", 2, -1, ""
SideBySide "direct", origin & "/echo", 1, -1, ""
SideBySide "server credentials", origin & "/auth?user=" & user & "&password=" & password, -1, 0, ""
SideBySide "redirects refused", origin & "/echo?location=/landing", -1, -1, "no redirects"
SideBySide "UTF-8 JSON", origin & json, -1, -1, ""
SideBySide "an option the request object does not know", origin & "/echo", -1, -1, "unknown"

WScript.Echo passed & " passed, " & failed & " failed"
