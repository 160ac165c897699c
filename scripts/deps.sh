#!/usr/bin/env bash
# Installs what building and testing the installer needs on Debian 12 (as root), and only
# what is missing. Sourced or run by the other scripts.

VEXO_PACKAGES=(cmake make g++ googletest libgtest-dev clang-format cppcheck
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth xdotool imagemagick fonts-wqy-microhei
  osslsigncode openssl zip unzip)

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
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  vexo_install_deps
fi
