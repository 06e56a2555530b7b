// The checks every JScript test file shares; the test runner puts this file in front of each one.
var passed = 0, failed = 0;
function check(name, actual, expected) {
    if (actual === expected) { passed++; WScript.Echo("ok - " + name); }
    else { failed++; WScript.Echo("not ok - " + name + ": got [" + actual + "] expected [" + expected + "]"); }
}
