' clsSendMail signs in with client credentials at the runner's authorization server and sends to the
' SMTP sink that takes only the tokens that server issued (after STARTTLS, over XOAUTH2).
' Option Explicit, Check and the counts come from include/check.vbs, which the test runner puts first.

Function Env(name)  ' Wine's script host counts the closing NUL into the answer
    Env = CreateObject("WScript.Shell").ExpandEnvironmentStrings("%" & name & "%")
    If InStr(Env, Chr(0)) > 0 Then Env = Left(Env, InStr(Env, Chr(0)) - 1)
End Function

Dim mail, fso, spool, subject, file, arrived
Set mail = CreateObject("ZanKit.clsSendMail")
Set fso = CreateObject("Scripting.FileSystemObject")
spool = Env("ZANKIT_XOAUTH2_SPOOL")
subject = "OAuth from a script host x" & WScript.Arguments(0) & " " & fso.GetTempName()
mail.OAuthTokenUrl = "https://127.0.0.1:" & Env("ZANKIT_OAUTH_PORT") & "/token"
mail.OAuthClientId = "ok.script-" & fso.GetTempName()
mail.OAuthClientSecret = Env("ZANKIT_OAUTH_SECRET")
Check "client credentials sign-in", mail.OAuthSignIn(2), True
Check "an access token without a refresh token", (mail.AccessToken <> "") & " " & mail.OAuthRefreshToken, "True "
mail.SMTPHostValidation = 1 : mail.SMTPHost = "127.0.0.1" : mail.SMTPPort = CLng(Env("ZANKIT_XOAUTH2_PORT"))
mail.Security = 2 : mail.UseAuthentication = True : mail.AuthMechanism = 4 : mail.Username = Env("ZANKIT_OAUTH_USER")
mail.from = "script@example.com" : mail.Recipient = "you@example.com"
mail.Subject = subject : mail.Message = "Signed in by a script host"
mail.Send
Check "the sink took the token for the mailbox", InStr(fso.OpenTextFile(spool & "\xoauth2.log").ReadAll(), _
    "accepted " & mail.Username & " " & mail.AccessToken) > 0, True
arrived = False
For Each file In fso.GetFolder(spool).Files
    If Right(file.Name, 4) = ".eml" Then
        If InStr(fso.OpenTextFile(file.Path).ReadAll(), "Subject: " & subject) > 0 Then arrived = True
    End If
Next
Check "the message arrived", arrived, True

WScript.Echo passed & " passed, " & failed & " failed"
