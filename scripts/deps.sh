#!/usr/bin/env bash
# Installs what building and testing the installer needs on Debian 12 (as root), and only
# what is missing. Sourced or run by the other scripts.
#
# The shipped program is 32-bit: Debian's wine32 (an i386 package, so the i386 architecture
# is added first) runs it as 32-bit Windows and, beside wine64, as 64-bit Windows (WoW64).
# fonts-wine brings Wine's Marlett, the glyphs of the title bars' buttons.
# msitools and wixl build and read the Windows Installer packages of a release.

VEXO_PACKAGES=(cmake make g++ googletest libgtest-dev clang-format cppcheck
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 wine32:i386 fonts-wine xvfb xauth xdotool imagemagick fonts-wqy-microhei
  osslsigncode openssl zip unzip msitools wixl)

vexo_install_deps() {
  local missing=()
  for p in "${VEXO_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  echo "==> Installing ${missing[*]} (this takes a few minutes on a fresh machine)"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386 || return 1
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# Prints why this machine cannot run 32-bit x86 programs, or nothing when it can. Some
# kernels are built or booted without 32-bit support: then every 32-bit program, Wine's
# 32-bit loader among them, fails with "Exec format error".
vexo_32bit_refusal() {
  local out
  if [ ! -e /lib/ld-linux.so.2 ]; then
    echo "the 32-bit C library is not installed (/lib/ld-linux.so.2 is missing)"
  elif ! out=$(/lib/ld-linux.so.2 --help 2>&1 >/dev/null); then
    case $out in
    *"format error"*) echo "this machine's kernel refuses 32-bit code (/lib/ld-linux.so.2: Exec format error)" ;;
    *) echo "/lib/ld-linux.so.2 --help fails: ${out:-no message}" ;;
    esac
  elif [ ! -x /usr/lib/wine/wine ]; then
    echo "Wine's 32-bit loader /usr/lib/wine/wine is missing (apt-get install wine32:i386)"
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  vexo_install_deps
  why=$(vexo_32bit_refusal)
  [ -z "$why" ] || echo "note: the shipped 32-bit program cannot run here: $why"
fi
