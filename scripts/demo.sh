#!/usr/bin/env bash
# Builds ZanKit, registers the x64 and x86 DLLs in a private Wine prefix and runs the demo
# script with Wine's script host. Installs what is missing first when run as root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "$(id -u)" -eq 0 ]; then
  mkdir -p build
  bash scripts/install-deps.sh > build/install.log 2>&1 || { cat build/install.log; exit 1; }
fi
bash scripts/build.sh
source tests/wine/env.sh
zk_prefix_setup
zk_register_all
"$(zk_wine_for 64)" cscript //nologo "$(zk_winpath "$root/examples/demo.js")" | tr -d '\r'
echo
"$(zk_wine_for 64)" cscript //nologo "$(zk_winpath "$root/examples/fileinfo_demo.js")" | tr -d '\r' | head -60
