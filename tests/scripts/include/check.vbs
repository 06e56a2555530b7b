' The checks every VBScript test file shares; the test runner puts this file in front of each one.
Option Explicit
Dim passed, failed
passed = 0 : failed = 0
Sub Check(name, actual, expected)
    If actual = expected Then
        passed = passed + 1 : WScript.Echo "ok - " & name
    Else
        failed = failed + 1 : WScript.Echo "not ok - " & name & ": got [" & actual & "] expected [" & expected & "]"
    End If
End Sub
