' clsSendMail.Send from VBScript: a script host cannot receive the events, but a message it
' sends arrives at the SMTP sink the runner started, and a failing send raises nothing.
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

Dim env, spool, fso, before, mail
Set env = CreateObject("WScript.Shell").Environment("PROCESS")
spool = env("ZANKIT_SMTP_SPOOL")
If env("ZANKIT_SMTP_PORT") = "" Or spool = "" Then
    WScript.Echo "send.vbs skipped: no SMTP sink (ZANKIT_SMTP_PORT, ZANKIT_SMTP_SPOOL)"
    WScript.Echo "0 passed, 0 failed"
    WScript.Quit 0
End If
Set fso = CreateObject("Scripting.FileSystemObject")

Function MessageCount()
    Dim file
    MessageCount = 0
    For Each file In fso.GetFolder(spool).Files
        If LCase(Right(file.Name, 4)) = ".eml" Then MessageCount = MessageCount + 1
    Next
End Function

Sub SendTo(port)
    Set mail = CreateObject("ZanKit.clsSendMail")
    mail.SMTPHostValidation = 1
    mail.SMTPHost = "127.0.0.1"
    mail.SMTPPort = CLng(port)
    mail.ConnectTimeout = 5
    mail.ConnectRetry = 1
    mail.from = "script@example.com"
    mail.Recipient = "reader@example.com"
    mail.Subject = "From a script host"
    mail.Message = "Sent by send.vbs"
    mail.Send
End Sub

before = MessageCount()
On Error Resume Next
SendTo env("ZANKIT_SMTP_PORT")
Check "Send to the sink raises nothing", Err.Number, 0
Err.Clear
Check "the sink received one more message", MessageCount(), before + 1
SendTo env("ZANKIT_SMTP_CLOSED_PORT")
Check "Send to a closed port raises nothing (the failure is an event)", Err.Number, 0
On Error GoTo 0
Check "nothing more arrived", MessageCount(), before + 1

WScript.Echo passed & " passed, " & failed & " failed"
