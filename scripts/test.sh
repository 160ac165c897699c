#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the three presets, runs the unit and
# integration tests on the simulated machine, checks the Windows binaries, runs the
# end-to-end scenarios under Wine, and tests the release (package check, signing,
# reproducible builds). Ends with "N passed, N failed" over the suites.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/deps.sh
source scripts/deps.sh
vexo_install_deps || exit 1

passed=0
failed=0
not_run=0
failures=()
# suite NAME COMMAND...: a suite passes with status 0; status 77 means it could not run on
# this machine (it has said why), which the closing line counts apart.
suite() {
  local name="$1" status
  shift
  echo
  echo "==> $name"
  "$@"
  status=$?
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  elif [ "$status" -eq 77 ]; then
    not_run=$((not_run + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
}

scripts/build.sh linux linux-asan windows-x86 windows-x64 || { echo "build failed"; exit 1; }

suite "unit and integration tests (simulated Windows)" \
  ctest --test-dir build/linux --output-on-failure -j "$(nproc)"
suite "the same under AddressSanitizer and UndefinedBehaviorSanitizer" \
  ctest --test-dir build/linux-asan --output-on-failure -j "$(nproc)"
suite "static analysis" scripts/analyse.sh
suite "Windows binaries" tests/binary/check.sh build/windows-x86 build/windows-x64
suite "the shipped windows-x86 program under Wine as 32-bit Windows" \
  tests/e2e/run.sh --target x86 build/windows-x86
suite "the shipped windows-x86 program under Wine as 64-bit Windows (WoW64)" \
  tests/e2e/run.sh --target wow64 build/windows-x86
suite "the windows-x64 program under wine64" tests/e2e/run.sh --target x64 build/windows-x64
suite "planted DLLs under Wine" tests/e2e/planted-dll.sh build/windows-x64
suite "release: package check, signing, reproducible builds" tests/release/run.sh

echo
for f in "${failures[@]}"; do
  echo "FAILED: $f"
done
if [ "$not_run" -gt 0 ]; then
  echo "NOT RUN on this machine: $not_run suite(s) of the shipped 32-bit program: $(vexo_32bit_refusal)"
  echo "suites: $passed passed, $failed failed, $not_run skipped"
else
  echo "suites: $passed passed, $failed failed"
fi
[ "$failed" -eq 0 ]
