@echo off
rem Removes the ZanKit registration made by register.cmd: machine-wide when run as administrator,
rem otherwise (or with "/user") the current user's. Exit code 0 on success, 1 otherwise.
setlocal
set "HERE=%~dp0"
set "MODE=machine"
if /i "%~1"=="/user" set "MODE=user"
rem Only an administrator may write the machine's class keys.
if "%MODE%"=="machine" call :check_administrator
if "%MODE%"=="user" (set "SCOPE_TEXT=for the current user") else (set "SCOPE_TEXT=for all users of this machine")
set "REGSVR64="
if defined PROCESSOR_ARCHITEW6432 (
  set "REGSVR64=%SystemRoot%\Sysnative\regsvr32.exe"
  set "REGSVR32=%SystemRoot%\System32\regsvr32.exe"
) else if exist "%SystemRoot%\SysWOW64\regsvr32.exe" (
  set "REGSVR64=%SystemRoot%\System32\regsvr32.exe"
  set "REGSVR32=%SystemRoot%\SysWOW64\regsvr32.exe"
) else (
  set "REGSVR32=%SystemRoot%\System32\regsvr32.exe"
)
set "FAILED=0"
if defined REGSVR64 call :unregister "%REGSVR64%" "%HERE%x64\zankit.dll" x64
call :unregister "%REGSVR32%" "%HERE%x86\zankit.dll" x86
if "%FAILED%"=="1" (
  echo ZanKit could not be removed %SCOPE_TEXT%.
  exit /b 1
)
echo ZanKit is no longer registered %SCOPE_TEXT%.
exit /b 0

:unregister
if "%MODE%"=="user" (
  "%~1" /s /u /n /i:user "%~2"
) else (
  "%~1" /s /u "%~2"
)
if errorlevel 1 (
  echo Removing %~3\zankit.dll failed.
  set "FAILED=1"
)
exit /b 0

:check_administrator
reg add "HKLM\Software\Classes\ZanKit.RegisterCheck" /f >nul 2>&1
if errorlevel 1 (
  set "MODE=user"
) else (
  reg delete "HKLM\Software\Classes\ZanKit.RegisterCheck" /f >nul 2>&1
)
exit /b 0
