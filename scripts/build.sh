#!/usr/bin/env bash
# Builds the presets named on the command line (default: all three).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(linux windows-x86 windows-x64)
jobs="$(nproc 2>/dev/null || echo 2)"
for p in "${presets[@]}"; do
  echo "==> Building $p"
  if [ ! -f "build/$p/CMakeCache.txt" ]; then
    cmake --preset "$p" >"build-$p.log" 2>&1 || { cat "build-$p.log"; exit 1; }
    rm -f "build-$p.log"
  fi
  cmake --build "build/$p" -j "$jobs" -- --no-print-directory
done
