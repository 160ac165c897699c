#!/usr/bin/env bash
# Checks the shipped programs: format and subsystem, hardening flags, imports (system DLLs
# only, winspool.drv never), and the manifest and resources inside.
# Usage: check.sh BUILD_DIR_X86 BUILD_DIR_X64
set -uo pipefail
x86="${1:-build/windows-x86}/app/VexoSetup.exe"
x64="${2:-build/windows-x64}/app/VexoSetup.exe"
passed=0
failed=0
check() { # description, command...
  local what="$1"
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $what"
  fi
}

# DLLs a Windows installation always has; anything else would be loaded from the program's
# folder or the search path.
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|COMCTL32|msvcrt|ole32|api-ms-win-[a-z0-9-]+)\.dll$'

inspect() { # exe objdump arch-format machine
  local exe="$1" objdump="$2" format="$3" magic="$4"
  local dump
  if [ ! -f "$exe" ]; then
    check "$exe exists" false
    return
  fi
  dump="$("$objdump" -p "$exe")"
  check "$exe is $format" grep -q "file format $format" <<<"$dump"
  check "$exe is a GUI program" grep -Eq 'Subsystem[[:space:]]+0*2[[:space:]]' <<<"$dump"
  check "$exe has the $magic optional header" grep -Eq "Magic[[:space:]]+0*$magic" <<<"$dump"
  local chars
  chars="$(grep -A8 '^DllCharacteristics' <<<"$dump")"
  check "$exe: ASLR (dynamic base)" grep -q 'DYNAMIC_BASE' <<<"$chars"
  check "$exe: DEP (NX compatible)" grep -q 'NX_COMPAT' <<<"$chars"
  check "$exe: relocations kept for ASLR" grep -q '\.reloc' < <("$objdump" -h "$exe")
  local dlls
  dlls="$(grep 'DLL Name:' <<<"$dump" | awk '{print $3}')"
  local bad
  bad="$(grep -Eiv "$allowed" <<<"$dlls" || true)"
  check "$exe imports only system DLLs (found: $(echo $dlls))" test -z "$bad"
  check "$exe does not import winspool.drv" bash -c "! grep -qi winspool <<<'$dlls'"
  # The manifest is the one XML document in the program.
  local manifest
  manifest="$(strings -n 8 "$exe" | sed -n '/<assembly/,/<\/assembly>/p')"
  check "$exe has a manifest" test -n "$manifest"
  check "$exe manifest asks for highestAvailable" grep -q 'level="highestAvailable"' <<<"$manifest"
  check "$exe manifest depends on common controls 6.0.0.0" \
    grep -Eq 'Microsoft.Windows.Common-Controls.*6\.0\.0\.0|version="6\.0\.0\.0"' <<<"$manifest"
  check "$exe manifest declares no supportedOS" bash -c '! grep -q supportedOS' <<<"$manifest"
  local res
  res="$("$objdump" -h "$exe" | grep -c '\.rsrc')"
  check "$exe has its resources" test "$res" -ge 1
}

inspect "$x86" i686-w64-mingw32-objdump pei-i386 10b
inspect "$x64" x86_64-w64-mingw32-objdump pei-x86-64 20b
if [ -f "$x64" ]; then
  check "$x64: high-entropy VA" grep -q HIGH_ENTROPY_VA < <(x86_64-w64-mingw32-objdump -p "$x64")
fi
echo "binary checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
