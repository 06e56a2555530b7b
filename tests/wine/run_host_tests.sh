#!/usr/bin/env bash
# Registers the x64 and x86 DLLs (and the test logger) in the private prefix, then runs the
# GoogleTest host executable of each bitness and every .js/.vbs file under tests/scripts with
# the 64-bit and the 32-bit cscript. Prints each runner's own summary lines.
set -uo pipefail
source "$(dirname "$0")/env.sh"
zk_prefix_setup || exit 1
zk_prefix_drives || { echo "drive setup failed"; exit 1; }
zk_register_all || { echo "registration failed"; exit 1; }

status=0
for arch in 64 32; do
  echo "== host tests x$arch"
  dir="$ZANKIT_ROOT/build/win$arch/tests"
  export ZANKIT_TEST_LOGGER_FILE
  ZANKIT_TEST_LOGGER_FILE="$(zk_winpath "$ZANKIT_ROOT/build/logger-x$arch.txt")"
  (cd "$dir" && timeout 600 wine zankit_host_tests.exe --gtest_brief=1) 2>&1 | tr -d '\r' || status=1
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done

# The locale answers in a German and an English user locale.
for arch in 64 32; do
  for locale in de:de_DE.UTF-8 en:en_US.UTF-8; do
    echo "== locale tests x$arch with LANG=${locale#*:}"
    dir="$ZANKIT_ROOT/build/win$arch/tests"
    (cd "$dir" && LANG=${locale#*:} ZANKIT_TEST_LOCALE=${locale%%:*} timeout 300 wine zankit_host_tests.exe \
      --gtest_brief=1 --gtest_filter='FileInfoLocale*:FileInfoSizes*') 2>&1 | tr -d '\r' || status=1
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  done
done

for arch in 64 32; do
  host_var="CSCRIPT$arch"
  for script in "$ZANKIT_ROOT"/tests/scripts/*.js "$ZANKIT_ROOT"/tests/scripts/*.vbs; do
    [ -e "$script" ] || continue
    echo "== $(basename "$script") with the ${arch}-bit cscript"
    output=$(cd "$(dirname "$script")" && timeout 300 wine "${!host_var}" //nologo "$(zk_winpath "$script")" 2>&1 | tr -d '\r')
    echo "$output" | grep -v '^ok - '
    echo "$output" | grep -Eq '^[0-9]+ passed, 0 failed$' || status=1
  done
done
exit $status
