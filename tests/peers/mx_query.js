// MXQuery through COM, run inside the DNS test namespace against its dnsmasq.
var passed = 0, failed = 0;
function check(name, actual, expected) {
    if (actual === expected) { passed++; WScript.Echo("ok - " + name); }
    else { failed++; WScript.Echo("not ok - " + name + ": got [" + actual + "] expected [" + expected + "]"); }
}
var shell = new ActiveXObject("WScript.Shell");
WScript.Echo("script host: " + shell.Environment("PROCESS")("PROCESSOR_ARCHITECTURE"));
var mail = new ActiveXObject("ZanKit.clsSendMail");
check("lowest preference wins, domain trimmed", mail.MXQuery(" two.example.com "), "mx10.two.example.com");
check("equal preference keeps the first", mail.MXQuery("equal.example.com") !== "", true);
check("empty domain asks for the machine's domain", mail.MXQuery(""), "mail.corp.example.com");
check("omitted domain too", mail.MXQuery(), "mail.corp.example.com");
check("a four-character domain gives nothing", mail.MXQuery("a.de"), "");
check("a sub-domain walks up to the base domain", mail.MXQuery("a.b.example.com"), "mx.example.com");
var domain = "  two.example.com";
mail.MXQuery(domain);
check("the caller's variable is left as it was", domain, "  two.example.com");
WScript.Echo(passed + " passed, " + failed + " failed");
