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
failures=()
suite() {
  local name="$1"
  shift
  echo
  echo "==> $name"
  if "$@"; then
    passed=$((passed + 1))
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
suite "end-to-end tests under Wine" tests/e2e/run.sh build/windows-x64
suite "planted DLLs under Wine" tests/e2e/planted-dll.sh build/windows-x64
suite "release: package check, signing, reproducible builds" tests/release/run.sh

echo
for f in "${failures[@]}"; do
  echo "FAILED: $f"
done
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
