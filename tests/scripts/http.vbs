' The same GET through WinHttpWrapper and through "WinHttp.WinHttpRequest.5.1" itself: both answer
' alike, with the expected status and no proxy credentials at the origin (Wine's request object
' does not use a proxy named by SetProxy). Check and the counts come from include/check.vbs.

' Wine's script host and request object count a string's closing NUL into some answers.
Function Env(name)
    Env = CreateObject("WScript.Shell").ExpandEnvironmentStrings("%" & name & "%")
    If InStr(Env, Chr(0)) > 0 Then Env = Left(Env, InStr(Env, Chr(0)) - 1)
End Function

Dim origin, login
origin = "http://localhost:" & Env("ZANKIT_HTTP_PORT")  ' the proxy is 127.0.0.1: another host name
login = Split(Env("ZANKIT_PROXY_CREDENTIALS"), ":")

Function Header(http, name)
    On Error Resume Next
    Header = name & "=" & http.GetResponseHeader(name) & " "
    Err.Clear
End Function

' proxySetting and credentialsFor: -1 for none; setOption: "", "no redirects" or "unknown".
Function Exchange(throughWrapper, url, proxySetting, credentialsFor, setOption)
    Dim http
    On Error Resume Next
    If throughWrapper Then Set http = CreateObject("ZanKit.WinHttpWrapper") Else Set http = CreateObject("WinHttp.WinHttpRequest.5.1")
    If throughWrapper Then http.OpenRequest "GET", url, False Else http.Open "GET", url, False
    If proxySetting >= 0 Then http.SetProxy proxySetting, "127.0.0.1:" & Env("ZANKIT_PROXY_PORT")
    If credentialsFor >= 0 Then http.SetCredentials login(0), login(1), credentialsFor
    If setOption = "no redirects" Then http.Option(6) = False
    If setOption = "unknown" Then http.Option(99) = 1
    If throughWrapper Then http.Send "" Else http.Send
    Exchange = "error " & Err.Number
    If Err.Number <> 0 Then Exit Function
    Exchange = http.Status & " " & Header(http, "Location") & Header(http, "Via") & _
        Header(http, "X-Echo-Proxy-Authorization") & http.ResponseText
End Function

Sub SideBySide(name, url, proxySetting, credentialsFor, setOption, status)
    Dim wrapped, direct
    wrapped = Exchange(True, url, proxySetting, credentialsFor, setOption)
    direct = Exchange(False, url, proxySetting, credentialsFor, setOption)
    Check name & ": as the request object", Replace(wrapped, Chr(0), ""), Replace(direct, Chr(0), "")
    Check name & ": status, proxy credentials at the origin", Left(wrapped, 3) & InStr(wrapped, "Authorization="), status & "0"
End Sub

SideBySide "named proxy with proxy credentials", origin & "/echo", 2, 1, "", "200"
SideBySide "direct", origin & "/echo", 1, -1, "", "200"
SideBySide "server credentials", origin & "/auth?user=" & login(0) & "&password=" & login(1), -1, 0, "", "200"
SideBySide "redirects refused", origin & "/echo?status=302&location=/landing", -1, -1, "no redirects", "302"
SideBySide "UTF-8 JSON", origin & "/text?type=application%2Fjson%3B%20charset%3Dutf-8&text=%7B%22ru%22%3A%22" & _
    "%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82%22%2C%22ja%22%3A%22%E6%97%A5%E6%9C%AC%E8%AA%9E%22%2C%22emoji%22%3A%22" & _
    "%F0%9F%98%80%22%7D", -1, -1, "", "200"
SideBySide "an option the request object lacks", origin & "/echo", -1, -1, "unknown", "err"  ' error 445 from both

WScript.Echo passed & " passed, " & failed & " failed"
