#!/usr/bin/env bash
# The set-up's reading of apt: which lists an update could not fetch, and
# which libraries it holds to one version for both architectures. Runs on
# made-up lists and logs, as any user, without apt.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../scripts/common.sh"
enter_scratch_dir
say() { echo "$*"; }
apt_lists=$work/lists
source "$here/../scripts/apt-steps.sh"
native=$(dpkg --print-architecture)

cat >update.log <<'EOF'
Hit:1 http://mirror.invalid/debian bookworm InRelease
Err:5 http://mirror.invalid/debian-security bookworm-security/main i386 Packages
  File has unexpected size (187410 != 374820). Mirror sync in progress? [IP: 127.0.0.1 80]
  Hashes of expected file:
Get:6 http://mirror.invalid/debian bookworm/main i386 Packages [9 MB]
E: Some index files failed to download. They have been ignored, or old ones used instead.
EOF
check "an update's failed list is named once, with apt's reason" \
  test "$(failed_lists update.log)" = \
  "http://mirror.invalid/debian-security bookworm-security/main i386 Packages (File has unexpected size (187410 != 374820). Mirror sync in progress? [IP: 127.0.0.1 80])"

# stanza PACKAGE ARCH VERSION [MULTI-ARCH]
stanza() { printf 'Package: %s\nVersion: %s\nArchitecture: %s\nMulti-Arch: %s\n\n' "$1" "$3" "$2" "${4:-same}"; }
mkdir lists
{
  stanza libskew "$native" 1.0-1
  stanza libskew "$native" 1.0-1+deb12u1 # the newer one has no i386 twin
  stanza libequal "$native" 2.0-1
  stanza libequal "$native" 2.0-1+deb12u1
  stanza libepoch "$native" 2.0-1
  stanza libepoch "$native" 1:1.0-1 # the epoch makes it the newest
  stanza libtilde "$native" 3.0~rc1-1
  stanza libalone "$native" 1.0-1 # no i386 build at all
  stanza libforeign "$native" 5.0-2 foreign
} >"lists/base_binary-${native}_Packages"
{
  stanza libskew i386 1.0-1
  stanza libequal i386 2.0-1
  stanza libequal i386 2.0-1+deb12u1
  stanza libepoch i386 2.0-1
  stanza libtilde i386 3.0~rc1-1
  stanza libtilde i386 3.0-1 # i386 ahead: held back to its amd64 twin
  stanza libforeign i386 5.0-1 foreign
} >lists/base_binary-i386_Packages

make_twin_pins
held=$(awk '/^Package:/ { p = $2 } /^Pin: version/ { print p, $3 }' "$pins" | sort | paste -sd ';')
check "libraries are held to the newest version both architectures have, and only they" \
  test "$held" = "libepoch 2.0-1;libskew 1.0-1;libtilde 3.0~rc1-1"
check "each hold is below 1000, so it never downgrades what is installed" \
  bash -c "grep '^Pin-Priority:' '$pins' | grep -qv ' 990$' && exit 1 || exit 0"
finish
