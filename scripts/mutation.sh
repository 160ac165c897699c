#!/usr/bin/env bash
# Mutation testing: puts faults into the core's sources one at a time (scripts/mutate.py),
# rebuilds only the unit tests in build/mutation (configured from the linux preset, so
# build/linux is left alone), runs them with a timeout and prints, per file and overall,
# the faults tried, not buildable, caught and survived, the score caught / (caught +
# survived), the survivors, and last:
#   mutation score: P% (C caught, S survived, B not buildable)
# A measurement, not a test (scripts/test.sh does not run it): the default sample takes
# tens of minutes.
#
# usage: scripts/mutation.sh [--files F...] [--sample N] [--seed S] [--list] [--timeout T]
#   --files F...  the sources to put faults into (default: the .cpp files of install/,
#                 ports/, pages/, app/ and tests/sim/SimRegistry.cpp)
#   --sample N    faults per file, the same ones for the same seed (default 30; 0: all)
#   --seed S      the seed of that choice (default 1)
#   --list        print the chosen faults and stop
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root" || exit 1
build=build/mutation

if [ ! -f "$build/CMakeCache.txt" ]; then
  mkdir -p "$(dirname "$build")"
  cmake --preset linux -B "$build" >"$build.log" 2>&1 || { cat "$build.log"; exit 1; }
  rm -f "$build.log"
fi
# The sources are faulty only while a fault is tried; whatever ends this script (an
# error, Ctrl-C, a kill of the Python process) puts them back.
restore() { python3 scripts/mutate.py --build "$build" --restore; }
trap restore EXIT
trap 'exit 130' INT TERM HUP
python3 scripts/mutate.py --build "$build" "$@"
