# Sourced: finds Wine's 32-bit loader and how this machine can run it.
#   WINE32_LOADER   the loader of Debian's wine32:i386 package
#   wine32_route    prints "native" where the machine executes 32-bit code,
#                   "qemu" where only qemu-i386 can run the loader, and fails
#                   where neither works. The probe runs once per shell.
WINE32_LOADER=/usr/lib/wine/wine
wine32_route() {
  if [ -z "${WINE32_ROUTE:-}" ]; then
    if [ -x "$WINE32_LOADER" ] && "$WINE32_LOADER" --version >/dev/null 2>&1; then
      WINE32_ROUTE=native
    elif [ -x "$WINE32_LOADER" ] && command -v qemu-i386 >/dev/null &&
      qemu-i386 "$WINE32_LOADER" --version >/dev/null 2>&1; then
      WINE32_ROUTE=qemu
    else
      WINE32_ROUTE=none
    fi
  fi
  [ "$WINE32_ROUTE" != none ] && echo "$WINE32_ROUTE"
}
