' clsSendMail.Send from VBScript: a script host cannot receive the events, but a message it
' sends arrives at the SMTP sink the runner started, and a failing send raises nothing.
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

Dim env, port, closedPort, spool, fso
Set env = CreateObject("WScript.Shell").Environment("PROCESS")
port = env("ZANKIT_SMTP_PORT") : closedPort = env("ZANKIT_SMTP_CLOSED_PORT") : spool = env("ZANKIT_SMTP_SPOOL")
If port = "" Or spool = "" Then
    WScript.Echo "send.vbs skipped: no SMTP sink (ZANKIT_SMTP_PORT, ZANKIT_SMTP_SPOOL)"
    WScript.Echo "0 passed, 0 failed"
    WScript.Quit 0
End If
Set fso = CreateObject("Scripting.FileSystemObject")

Function MessageCount()
    Dim file, n
    n = 0
    For Each file In fso.GetFolder(spool).Files
        If LCase(Right(file.Name, 4)) = ".eml" Then n = n + 1
    Next
    MessageCount = n
End Function

Function NewMail(serverPort)
    Dim mail
    Set mail = CreateObject("ZanKit.clsSendMail")
    mail.SMTPHostValidation = 1
    mail.SMTPHost = "127.0.0.1"
    mail.SMTPPort = CLng(serverPort)
    mail.ConnectTimeout = 5
    mail.ConnectRetry = 1
    mail.from = "script@example.com"
    mail.Recipient = "reader@example.com"
    mail.Subject = "From a script host"
    mail.Message = "Sent by send.vbs"
    Set NewMail = mail
End Function

Dim before, mail
before = MessageCount()
Set mail = NewMail(port)
On Error Resume Next
mail.Send
Check "Send to the sink raises nothing", Err.Number, 0
Err.Clear
Check "the sink received one more message", MessageCount(), before + 1

Set mail = NewMail(closedPort)
mail.Send
Check "Send to a closed port raises nothing (the failure is an event)", Err.Number, 0
On Error GoTo 0
Check "nothing more arrived", MessageCount(), before + 1

WScript.Echo passed & " passed, " & failed & " failed"
