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
# - An install the resolver refuses is tried again against the release's base
#   suite (the codename in /etc/os-release). A mirror whose architectures are
#   out of step can offer an amd64 library newer than its i386 twin (from the
#   security suite, say), and multiarch needs both at one version; the base
#   suite has both.
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

# Tries of a fetch, and the pause before each new try, in seconds.
fetch_tries=${TINTMARK_FETCH_TRIES:-3}
fetch_pause=${TINTMARK_FETCH_PAUSE:-20}

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

# apt itself, with its messages in English (they are read below), no
# prompts, and its own retry of a failed download.
run_apt() {
  LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get -o Acquire::Retries=2 "$@"
}

# The lists an `apt-get update` log says it could not fetch, one a line, as
# apt names them ("URI SUITE/COMPONENT ARCH Packages"), with apt's reason.
failed_lists() {
  awk '/^Err:[0-9]+ / { sub(/^Err:[0-9]+ /, ""); list = $0; next }
       list != "" { sub(/^ +/, ""); print list " (" $0 ")"; list = "" }' "$1"
}

# update_lists: fetches the package lists, again while some cannot be
# fetched, then goes on with what loaded and says in one line what did not.
updated=0
update_lists() {
  local log try failed
  log=$(mktemp)
  local variation=()
  for ((try = 1; try <= fetch_tries; try++)); do
    run_apt "${variation[@]}" update >"$log" 2>&1
    failed=$(failed_lists "$log")
    if [ -z "$failed" ] && ! grep -q '^E: ' "$log"; then
      break
    fi
    if [ "$try" -lt "$fetch_tries" ]; then
      sleep "$fetch_pause"
      # Every other try asks for the lists in another compression, that is
      # for other files: a broken copy of one file in a mirror or a cache
      # then stands in the way of one try only.
      if [ "${#variation[@]}" -eq 0 ]; then
        variation=(-o 'Acquire::CompressionTypes::Order::=gz')
      else
        variation=()
      fi
    fi
  done
  if [ -n "$failed" ]; then
    say "$(wc -l <<<"$failed") package list(s) could not be fetched after $fetch_tries tries; going on with the lists that loaded: $(paste -sd ';' <<<"$failed")"
  elif grep -q '^E: ' "$log"; then
    say "apt-get update failed; going on with the lists there are: $(grep '^E: ' "$log" | paste -sd ' ')"
  fi
  rm -f "$log"
  updated=1
}

# explain_twins LOG: for each i386 library apt could not install, says when
# its amd64 twin is installed at a version the loaded i386 lists do not
# have. Multiarch needs the two at one version, and the step never
# downgrades an installed package (it may be a security update) to match.
explain_twins() {
  local lib native version
  for lib in $(grep -oE '[a-z0-9][a-z0-9.+-]*:i386 \(' "$1" | cut -d: -f1 | sort -u | head -n 5); do
    native=$(dpkg --print-architecture)
    version=$(dpkg-query -W -f='${Version}' "$lib:$native" 2>/dev/null) || continue
    [ -n "$version" ] || continue
    if ! apt-cache madison "$lib:i386" 2>/dev/null | grep -qF " $version "; then
      say "$lib:$native is installed at $version, and no list that loaded has $lib:i386 at that version; fetching the lists again later may bring it"
    fi
  done
}

# newest VERSION...: prints the newest of the versions, as dpkg orders them.
newest() {
  local best=$1 v
  for v in "$@"; do
    dpkg --compare-versions "$v" gt "$best" && best=$v
  done
  echo "$best"
}

# make_twin_pins: writes into $pins the apt preferences that hold each
# library (Multi-Arch: same) whose two architectures' lists do not offer the
# same newest version to the newest version both have, so that the resolver
# picks one version for both. Any preferences of the machine's own come
# first. Pins below 1000 never downgrade an installed package.
pins=
trap '[ -z "$pins" ] || rm -f "$pins"' EXIT
make_twin_pins() {
  local native name ours theirs target
  native=$(dpkg --print-architecture)
  [ -n "$pins" ] || pins=$(mktemp)
  : >"$pins"
  [ -r /etc/apt/preferences ] && { cat /etc/apt/preferences; echo; } >"$pins"
  # "name|versions of the native architecture|versions of i386", for each
  # library both architectures' lists have, with differing versions.
  cat /var/lib/apt/lists/*_Packages 2>/dev/null | awk -v native="$native" '
    /^Package: / { p = $2 } /^Version: / { v = $2 } /^Architecture: / { a = $2 }
    /^Multi-Arch: same/ { m = 1 }
    /^$/ { if (m && p != "" && (a == native || a == "i386")) print p, a, v; p = ""; m = 0 }' |
    sort -u | awk -v native="$native" '
      { if ($2 == native) n[$1] = n[$1] " " $3; else i[$1] = i[$1] " " $3 }
      END { for (k in n) if ((k in i) && n[k] != i[k]) print k "|" n[k] "|" i[k] }' |
    while IFS='|' read -r name ours theirs; do
      # The versions both have, and the newest of them, where that is not
      # already what each architecture would take.
      target=$(comm -12 <(tr ' ' '\n' <<<"$ours" | sort) <(tr ' ' '\n' <<<"$theirs" | sort) | grep .) || continue
      # shellcheck disable=SC2086
      target=$(newest $target)
      # shellcheck disable=SC2086
      if [ "$(newest $ours)" != "$target" ] || [ "$(newest $theirs)" != "$target" ]; then
        printf 'Package: %s\nPin: version %s\nPin-Priority: 990\n\n' "$name" "$target"
      fi
    done >>"$pins"
}

# install_packages WHAT PACKAGE...: installs the packages. A resolver's
# refusal is tried again with each library's two architectures held to one
# version, then also against the base suite; a failed download again after
# new lists. On failure, prints apt's reason and the command.
install_packages() {
  local what=$1 log target=() fetches=1 options=()
  shift
  log=$(mktemp)
  [ "$updated" = 1 ] || update_lists
  while :; do
    options=()
    [ -n "$pins" ] && options=(-o "Dir::Etc::Preferences=$pins")
    if run_apt "${options[@]}" install -y -q --no-install-recommends "${target[@]}" "$@" \
      >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    if grep -qE '^E: (Failed to fetch|Unable to fetch|Some files failed)' "$log" &&
      [ "$fetches" -lt "$fetch_tries" ]; then
      fetches=$((fetches + 1))
      say "$what: a package could not be downloaded; fetching the lists again in ${fetch_pause}s"
      sleep "$fetch_pause"
      update_lists
      [ -z "$pins" ] || make_twin_pins
    elif [ -z "$pins" ]; then
      make_twin_pins
      say "$what: the install was refused; trying again with $(grep -c '^Pin: version' "$pins") libraries held to a version both architectures have"
    elif [ "${#target[@]}" -eq 0 ] && [ -n "$codename" ]; then
      say "$what: the install was refused; trying again against the base suite, $codename"
      target=(-t "$codename")
    else
      break
    fi
  done
  say "$what could not be installed. apt said:"
  # The resolver's lines about the packages, then its errors, as apt gave them.
  grep -E '^ [^ ].* : |^ {10,}[A-Z][a-zA-Z-]*: |^E: |^W: ' "$log" | head -n 40 | sed 's/^/  | /' >&2
  explain_twins "$log"
  say "to see it all, run as root: apt-get install --no-install-recommends $*"
  rm -f "$log"
  return 1
}

codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")

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

# Wine takes its ANSI code page from the locale: ja_JP.UTF-8 gives 932 and
# en_US.UTF-8 gives 1252. The Windows tests run in both.
generate=
for loc in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    need_root "generate the $loc.UTF-8 locale"
    sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" >>/etc/locale.gen
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
