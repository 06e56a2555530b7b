#!/usr/bin/env bash
# Installs everything the build, the tests, the demo and the benchmarks need on a fresh
# Debian 12 machine. Run as root; safe to run again (apt only, nothing downloaded elsewhere).
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev llvm
  mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686
  googletest libgtest-dev
  wine wine64 wine32:i386 wine64-tools libwine-dev
  libgnutls30 libgnutls30:i386 openssl ca-certificates
  python3 python3-aiosmtpd
  dovecot-core dovecot-pop3d dnsmasq iproute2
  xvfb xauth x11-utils
  locales sharutils mpack coreutils curl
  postfix
  qemu-user-static
)

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh must run as root" >&2
  exit 1
fi

missing=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  missing=1
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing=1
  fi
done

if [ "$missing" -eq 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # postfix for its smtp-sink (benchmarks) and the tests' private instance, which runs from a
  # configuration folder of its own: no system mail service is configured or started.
  echo "postfix postfix/main_mailer_type select No configuration" | debconf-set-selections
  apt-get update
  apt-get install -y --no-install-recommends "${packages[@]}"
fi

# German and English locales for the locale-dependent answers.
need_gen=0
for loc in "de_DE.UTF-8 UTF-8" "en_US.UTF-8 UTF-8"; do
  if ! grep -qx "$loc" /etc/locale.gen 2>/dev/null; then
    echo "$loc" >> /etc/locale.gen
    need_gen=1
  fi
done
if [ "$need_gen" -eq 1 ] || ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
  locale-gen
fi

# The services are started by the test scripts on loopback only; keep the system copies stopped.
for svc in dovecot dnsmasq postfix; do
  if command -v systemctl >/dev/null 2>&1; then systemctl disable --now "$svc" >/dev/null 2>&1 || true; fi
  if [ -x "/etc/init.d/$svc" ]; then "/etc/init.d/$svc" stop >/dev/null 2>&1 || true; fi
done

# The x86 DLL runs in Wine's 32-bit processes. Some virtual machines' kernels cannot start a
# 32-bit program ("Exec format error"); there the kernel hands 32-bit x86 programs to qemu's
# user-mode emulator instead (slower, same answers). Nothing changes where 32-bit programs run.
if ! /lib/i386-linux-gnu/ld-linux.so.2 --version > /dev/null 2>&1; then
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' > "$binfmt/register"
  fi
  /lib/i386-linux-gnu/ld-linux.so.2 --version > /dev/null 2>&1 || { echo "32-bit x86 programs cannot run here" >&2; exit 1; }
fi
