#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine.
#   install-deps.sh native   the native converter, its tests and benchmarks
#                            (packages of the machine's own architecture only)
#   install-deps.sh          everything: also the Windows builds, Wine, and
#                            Wine's 32-bit loader (wine32:i386)
#
# Idempotent: when every package is present it neither fetches package lists
# nor changes a package, and the locales are generated only once. Must run as
# root when anything is missing.
#
# The package mirror is not always healthy, so each step copes:
# - A list that cannot be fetched (a mirror in the middle of a sync, say) is
#   fetched again a few times, with a pause between tries; after that the
#   install goes on with the lists that did load, and one line says which
#   did not. Only a package that then cannot be installed is a failure.
# - An install the resolver refuses is tried again with each library held to
#   the newest version that both architectures' lists offer, then also
#   against the release's base suite (the codename in /etc/os-release). A
#   mirror whose architectures are out of step can offer an amd64 library
#   newer than its i386 twin (from the security suite, say), and multiarch
#   needs both at one version. Nothing installed is ever downgraded: an
#   amd64 library installed at a version no loaded i386 list has is named,
#   with the version its twin would need.
# - A package that cannot be downloaded is tried again after the lists are
#   fetched anew.
# - Every failure prints apt's own reason and the command to run by hand.
#
# Exit status: 0 when everything is in place; 3 when everything but Wine's
# 32-bit loader is (the i686 program's tests cannot run, which
# scripts/test-all.sh counts as a failure); 1 otherwise.
set -uo pipefail

mode=${1:-all}
native_packages=(
  build-essential cmake pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev llvm-14 valgrind time
)
windows_packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine wine64 xvfb xauth x11-utils locales fonts-ipafont-gothic imagemagick
  python3 python3-xlib qemu-user
  lintian python3-pefile unzip man-db
)
# Wine's 32-bit loader, for the i686 program (the one shipped): run natively
# where the machine executes 32-bit code, by qemu-i386 where not. Installed
# with the rest, but the rest does not depend on it (see below).
loader_packages=(wine32:i386)

say() { echo "install-deps: $*" >&2; }

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    say "need root to $*"
    exit 1
  fi
}

# missing PACKAGE...: prints those not installed.
missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      echo "$p"
  done
}

source "$(dirname "${BASH_SOURCE[0]}")/apt-steps.sh"

mapfile -t need < <(missing "${native_packages[@]}")
if [ "$mode" != native ]; then
  mapfile -t -O "${#need[@]}" need < <(missing "${windows_packages[@]}")
  mapfile -t loader < <(missing "${loader_packages[@]}")
else
  loader=()
fi

# The new architecture's lists come with the first fetch of lists.
if [ "${#loader[@]}" -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root "add the i386 architecture"
  dpkg --add-architecture i386
fi
# Everything in one install first: the resolver then picks one version of a
# library for both architectures. Should that fail, the rest goes in without
# the loader, so that only the i686 route is lost, and says so.
status=0
if [ "${#need[@]}" -gt 0 ] || [ "${#loader[@]}" -gt 0 ]; then
  need_root "install: ${need[*]} ${loader[*]}"
  if ! install_packages "The packages" "${need[@]}" "${loader[@]}"; then
    [ "${#loader[@]}" -gt 0 ] || exit 1
    if [ "${#need[@]}" -gt 0 ]; then
      say "installing the rest without Wine's 32-bit loader (${loader[*]})"
      install_packages "The packages but the loader" "${need[@]}" || exit 1
    fi
    say "Wine's 32-bit loader (${loader[*]}) is not installed: the i686 program's tests cannot run"
    status=3
  fi
fi

[ "$mode" = native ] && exit "$status"

# Wine takes its ANSI code page from the locale: ja_JP.UTF-8 gives 932,
# en_US.UTF-8 1252 and hi_IN.UTF-8 65001. The Windows tests run in them.
generate=
for loc in ja_JP en_US hi_IN; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    need_root "generate the $loc.UTF-8 locale"
    sed -i "s/^# *\($loc\(.UTF-8\)\? UTF-8\)/\1/" /etc/locale.gen
    grep -qE "^$loc(.UTF-8)? UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" >>/etc/locale.gen
    generate=1
  fi
done
if [ -n "$generate" ]; then
  locale-gen >/dev/null || {
    say "locale-gen failed"
    exit 1
  }
fi
exit "$status"
