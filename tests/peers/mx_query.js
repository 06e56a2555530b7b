// MXQuery through COM, run inside the DNS test namespace: against its dnsmasq, or with the
// argument "forging" against the misbehaving name server of forging_dns.py.
var passed = 0, failed = 0;
function check(name, actual, expected) {
    if (actual === expected) { passed++; WScript.Echo("ok - " + name); }
    else { failed++; WScript.Echo("not ok - " + name + ": got [" + actual + "] expected [" + expected + "]"); }
}
WScript.Echo("script host: " + new ActiveXObject("WScript.Shell").Environment("PROCESS")("PROCESSOR_ARCHITECTURE"));
var mail = new ActiveXObject("ZanKit.clsSendMail");
if (WScript.Arguments.length > 0 && WScript.Arguments(0) === "forging") {
    check("a silent server gives nothing", mail.MXQuery("silent.example.com"), "");
    // Only the genuine answer counts, and the best exchanger of unusual and hostile replies.
    var rows = [["other-address", "good"], ["other-port", "good"], ["other-id", "good"], ["echo", "good"],
                ["equal", "first"], ["root", "real"], ["full", "mx10"], ["loop", "good"], ["overrun", "good"],
                ["mixed", "mx.real"]];
    for (var i = 0; i < rows.length; i++) {
        var domain = rows[i][0] + ".example.com";
        check(rows[i][0], mail.MXQuery(domain), rows[i][1] + "." + domain);
    }
} else {
    check("lowest preference wins, domain trimmed", mail.MXQuery(" two.example.com "), "mx10.two.example.com");
    check("empty domain asks for the machine's domain", mail.MXQuery(""), "mail.corp.example.com");
    check("omitted domain too", mail.MXQuery(), "mail.corp.example.com");
    check("a four-character domain gives nothing", mail.MXQuery("a.de"), "");
    check("a sub-domain walks up to the base domain", mail.MXQuery("a.b.example.com"), "mx.example.com");
    var variable = "  two.example.com";
    mail.MXQuery(variable);
    check("the caller's variable is left as it was", variable, "  two.example.com");
}
WScript.Echo(passed + " passed, " + failed + " failed");
