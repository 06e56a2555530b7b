// A send over TLS from the first byte by a script host: tls_send.js PORT SUBJECT [ATTACHMENT].
// The caller checks that the message arrived.
var args = WScript.Arguments;
var mail = new ActiveXObject("ZanKit.clsSendMail");
mail.SMTPHostValidation = 1;
mail.SMTPHost = "127.0.0.1";
mail.SMTPPort = parseInt(args(0), 10);
mail.Security = 3;
mail.ConnectRetry = 1;
mail.from = "script@example.com";
mail.Recipient = "you@example.com";
mail.Subject = args(1);
mail.Message = "Sent by a script host";
mail.MessageTimeout = 120;
if (args.length > 2) mail.Attachment = args(2);
mail.Send();
