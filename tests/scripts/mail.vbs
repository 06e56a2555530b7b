' clsSendMail's host utilities from VBScript, with the variables they write back by reference.
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

Dim mail, host, target, rtt, size
Set mail = CreateObject("ZanKit.clsSendMail")
host = "  127.0.0.1  "
Check "GetIPAddress answers", mail.GetIPAddress(host), "127.0.0.1"
Check "GetIPAddress writes the trimmed name back, NUL-terminated", host, "127.0.0.1" & Chr(0)
target = "127.0.0.1"
Check "Ping of the loopback address", mail.Ping(target, rtt, size), True
Check "Ping writes the data size back", size, "32 bytes"
Check "GetContentType default", mail.GetContentType("file.zzqq"), "application/octet-stream"
Check "GetContentType with the caller's default", mail.GetContentType("file.zzqq", "text/x-own"), "text/x-own"

WScript.Echo passed & " passed, " & failed & " failed"
