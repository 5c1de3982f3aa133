#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine.
# Idempotent: packages already present are not fetched again, and the
# locales are generated only once. Must run as root.
#   install-deps.sh native   the native converter, its tests and benchmarks
#   install-deps.sh          everything: also the Windows builds and Wine
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev llvm-14 valgrind time
)
if [ "${1:-all}" != native ]; then
  packages+=(
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
    wine wine64 xvfb xauth x11-utils locales fonts-ipafont-gothic imagemagick
    python3 python3-xlib qemu-user
    # Wine's 32-bit loader, for the i686 program (the one shipped): run
    # natively where the machine executes 32-bit code, by qemu-i386 where not.
    wine32:i386
  )
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "install-deps: need root to add the i386 architecture" >&2
      exit 1
    fi
    dpkg --add-architecture i386
  fi
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: need root to install: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ "${1:-all}" = native ] && exit 0

# Wine takes its ANSI code page from the locale: ja_JP.UTF-8 gives 932 and
# en_US.UTF-8 gives 1252. The Windows tests run in both.
for loc in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "install-deps: need root to generate the $loc.UTF-8 locale" >&2
      exit 1
    fi
    sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" >>/etc/locale.gen
    generate=1
  fi
done
if [ -n "${generate:-}" ]; then
  locale-gen >/dev/null
fi
