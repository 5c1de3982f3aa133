# shellcheck shell=bash
# Sourced by install-deps.sh: the apt steps that cope with a package mirror
# that is not healthy. Needs `say`; apt_lists (where apt keeps its lists)
# may be set before sourcing.
apt_lists=${apt_lists:-/var/lib/apt/lists}
# Tries of a fetch, and the pause before each new try, in seconds.
fetch_tries=${TINTMARK_FETCH_TRIES:-3}
fetch_pause=${TINTMARK_FETCH_PAUSE:-20}
# The release's base suite, which has every library for both architectures.
codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")

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
  cat "$apt_lists"/*_Packages 2>/dev/null | awk -v native="$native" '
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
# version, then against the base suite, then both; a failed download again
# after new lists. On failure, prints apt's reason and the command. Once
# libraries have been held, later installs hold them from the start, so
# that none brings in an amd64 library whose i386 twin cannot follow.
install_packages() {
  local what=$1 log fetches=1 stage=0 options target held
  shift
  log=$(mktemp)
  [ "$updated" = 1 ] || update_lists
  [ -z "$pins" ] || stage=1
  while :; do
    options=()
    target=()
    case $stage in 1 | 3) options=(-o "Dir::Etc::Preferences=$pins") ;; esac
    case $stage in 2 | 3) target=(-t "$codename") ;; esac
    if run_apt "${options[@]}" install -y -q --no-install-recommends "${target[@]}" "$@" \
      >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    if grep -q "^E: dpkg was interrupted" "$log" && [ -z "${dpkg_mended:-}" ]; then
      # An install cut short earlier (a killed run, a full disk) leaves
      # packages half set up, and apt refuses until they are finished.
      dpkg_mended=1
      say "$what: an earlier install was cut short; finishing it (dpkg --configure -a)"
      DEBIAN_FRONTEND=noninteractive dpkg --configure -a >>"$log" 2>&1
      continue
    fi
    if grep -qE '^E: (Failed to fetch|Unable to fetch|Some files failed)' "$log" &&
      [ "$fetches" -lt "$fetch_tries" ]; then
      fetches=$((fetches + 1))
      say "$what: a package could not be downloaded; fetching the lists again in ${fetch_pause}s"
      sleep "$fetch_pause"
      update_lists
      [ -z "$pins" ] || make_twin_pins
      continue
    fi
    stage=$((stage + 1))
    if [ "$stage" -gt 3 ] || { [ "$stage" -ge 2 ] && [ -z "$codename" ]; }; then
      break
    fi
    case $stage in
    1)
      make_twin_pins
      held=$(grep -c '^Pin: version' "$pins")
      if [ "$held" -eq 0 ]; then
        [ -n "$codename" ] || break
        stage=2 # no library is out of step: on to the base suite
        say "$what: the install was refused; trying again against the base suite, $codename"
        continue
      fi
      say "$what: the install was refused; trying again with $held libraries held to a version both architectures have"
      ;;
    2) say "$what: refused again; trying against the base suite, $codename" ;;
    3)
      [ "${held:-1}" -ne 0 ] || break
      say "$what: refused again; trying against the base suite with the libraries held as well"
      ;;
    esac
  done
  say "$what could not be installed. apt said:"
  # The resolver's lines about the packages, then its errors, as apt gave them.
  grep -E '^ [^ ].* : |^ {10,}[A-Z][a-zA-Z-]*: |^E: |^W: ' "$log" | head -n 40 | sed 's/^/  | /' >&2
  explain_twins "$log"
  say "to see it all, run as root: apt-get install --no-install-recommends $*"
  rm -f "$log"
  return 1
}
