#!/usr/bin/env bash
# Checks the shipped programs: format and subsystem, hardening flags (ASLR, DEP, high-entropy
# VA, stack protection), imports (KnownDLLs and the common controls only, winspool.drv never),
# and the manifest and resources inside.
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

# What the program may import. A DLL that is not a KnownDLL is looked for in the program's
# folder first, before the search is restricted (the imports are resolved before the entry
# point runs), so a planted copy there would be loaded. These are KnownDLLs on Windows 7 to 11
# (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs, and KnownDLLs32 under
# WOW64), always mapped from System32; COMCTL32 comes from the side-by-side store through the
# manifest's dependency on the common controls 6.0, which the manifest checks below prove.
known_dlls='advapi32|clbcatq|comdlg32|difxapi|gdi32|imagehlp|imm32|kernel32|msctf|msvcrt|normaliz|nsi|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shell32|shlwapi|user32|wldap32|ws2_32'
allowed="^(${known_dlls}|comctl32)\\.dll\$"

# The objects and libraries of ours that the program was linked from (the link's own lists),
# relative to the build directory.
link_inputs() { # build-dir
  local dir="$1/app" f words
  read -r -a words < <(cat "$dir/CMakeFiles/VexoSetup.dir/objects1" \
    "$dir/CMakeFiles/VexoSetup.dir/linkLibs.rsp" 2>/dev/null | tr '\n' ' ')
  for f in "${words[@]}"; do
    case "$f" in
    *.obj | *.a) realpath -m --relative-to="$1" "$dir/$f" ;;
    esac
  done
}

# Stack protection (-fstack-protector-strong): every object and library of ours has functions
# that check the guard (__stack_chk_fail), and the program carries the protector's runtime
# (libssp, linked statically; the link's --gc-sections drops it when nothing calls it).
stack_protection() { # build-dir exe nm
  local build="$1" exe="$2" nm="$3" inputs input
  inputs="$(link_inputs "$build")"
  check "$exe: the link inputs are listed in $build/app/CMakeFiles/VexoSetup.dir" test -n "$inputs"
  for input in $inputs; do
    check "$exe: stack protector in $input" \
      grep -Eq ' U _*__stack_chk_fail$' < <("$nm" -A "$build/$input" 2>/dev/null)
  done
  check "$exe: links the stack protector's runtime" \
    grep -q 'stack smashing detected' < <(strings -n 8 "$exe")
}

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
  check "$exe imports only KnownDLLs and the common controls (not allowed: $(tr "\n" " " <<<"$bad"))" test -z "$bad"
  check "$exe does not import winspool.drv" bash -c "! grep -qi winspool <<<'$dlls'"
  # Windows 7 and 8 lack IsWow64Process2: it is looked up by name, never imported.
  check "$exe looks IsWow64Process2 up at run time" grep -qx IsWow64Process2 < <(strings -n 8 "$exe")
  check "$exe does not import IsWow64Process2" test -z "$(grep -E '[[:space:]]IsWow64Process2$' <<<"$dump")"
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
[ -f "$x86" ] && stack_protection "$(dirname "$(dirname "$x86")")" "$x86" i686-w64-mingw32-nm
[ -f "$x64" ] && stack_protection "$(dirname "$(dirname "$x64")")" "$x64" x86_64-w64-mingw32-nm
if [ -f "$x64" ]; then
  check "$x64: high-entropy VA" grep -q HIGH_ENTROPY_VA < <(x86_64-w64-mingw32-objdump -p "$x64")
fi
echo "binary checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
