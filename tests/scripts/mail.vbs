' clsSendMail from VBScript: defaults, setters, and variables written back by reference.
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

Dim mail
Set mail = CreateObject("ZanKit.clsSendMail")
Check "SMTPPort default", mail.SMTPPort, 25
Check "Delimiter default", mail.Delimiter, ";"
Check "PersistentSettings default", mail.PersistentSettings, False

mail.Delimiter = ","
mail.Recipient = " a@example.com , b@example.de "
Check "Recipient list joined by the delimiter", mail.Recipient, "a@example.com,b@example.de"

Dim host, address
host = "  127.0.0.1  "
address = mail.GetIPAddress(host)
Check "GetIPAddress answers", address, "127.0.0.1"
Check "GetIPAddress writes the trimmed name back, NUL-terminated", host, "127.0.0.1" & Chr(0)

Dim target, rtt, size
target = "127.0.0.1"
Check "Ping of the loopback address", mail.Ping(target, rtt, size), True
Check "Ping writes the data size back", size, "32 bytes"

Check "DecodeBase64String", mail.DecodeBase64String("YWJj"), "abc"
Check "IsValidEmailAddress with CAT inside a longer label", mail.IsValidEmailAddress("x@shop.cat"), True
Check "GetContentType default", mail.GetContentType("file.zzqq"), "application/octet-stream"

WScript.Echo passed & " passed, " & failed & " failed"
