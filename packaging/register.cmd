@echo off
rem Registers ZanKit (x64\zankit.dll and x86\zankit.dll beside this file).
rem Run as administrator it registers for every user of the machine; otherwise for the current
rem user only. "register.cmd /user" asks for the per-user registration even as administrator.
rem Exit code 0 when every DLL was registered, 1 otherwise.
setlocal
set "HERE=%~dp0"
call :choose_mode %1
call :find_regsvr32
set "FAILED=0"
if defined REGSVR64 call :register "%REGSVR64%" "%HERE%x64\zankit.dll" x64
call :register "%REGSVR32%" "%HERE%x86\zankit.dll" x86
if "%FAILED%"=="1" (
  echo ZanKit could not be registered %SCOPE_TEXT%.
  exit /b 1
)
echo ZanKit is registered %SCOPE_TEXT% ^(%DONE%^).
exit /b 0

:register
if "%MODE%"=="user" (
  "%~1" /s /n /i:user "%~2"
) else (
  "%~1" /s "%~2"
)
if errorlevel 1 (
  echo Registering %~3\zankit.dll failed.
  set "FAILED=1"
) else (
  if defined DONE (set "DONE=%DONE% and %~3") else (set "DONE=%~3")
)
exit /b 0

:choose_mode
set "MODE=machine"
if /i "%~1"=="/user" set "MODE=user"
rem Only an administrator may write the machine's class keys.
if "%MODE%"=="machine" call :check_administrator
if "%MODE%"=="user" (set "SCOPE_TEXT=for the current user only") else (set "SCOPE_TEXT=for all users of this machine")
exit /b 0

:find_regsvr32
rem The 64-bit regsvr32 for the x64 DLL and the 32-bit one for the x86 DLL, from a 32-bit or a
rem 64-bit command prompt alike.
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
exit /b 0

:check_administrator
reg add "HKLM\Software\Classes\ZanKit.RegisterCheck" /f >nul 2>&1
if errorlevel 1 (
  set "MODE=user"
) else (
  reg delete "HKLM\Software\Classes\ZanKit.RegisterCheck" /f >nul 2>&1
)
exit /b 0
