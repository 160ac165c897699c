#!/usr/bin/env bash
# Measures the installer in one run and prints each figure, its ratio and whether it meets
# its goal. A measurement, not a test (scripts/test.sh does not run it); it fails only when
# something could not be measured.
#
#   (a) start to the first page shown, under Wine, against the same page shown by a bare
#       dialog procedure (bench/FirstPage.cpp: the program's own template, font, resources
#       and manifest) started the same way, so that the ratio is the cost of the installer's
#       own code: goal within 1.1x;
#   (b) the installation from the "&Install" click on the port page to the installer's
#       final message box, less the deployment's half-second pause, against the same
#       spooler, file and registry calls timed inside a program that makes only them
#       (bench/InstallCalls.cpp, port discovery included in both, since the click's
#       automatic port choice makes its own): goal within 1.3x;
#   (c) port discovery (scanPorts) on 256 and on 5,000 simulated ports, and the growth
#       from one to the other: goal linear (at most 5000/256 = 19.5 times the time);
#   (d) the size of the windows-x86 and the windows-x64 VexoSetup.exe: goal under 400 KB
#       (409,600 bytes) each;
#   (e) a quiet installation as a whole process, "VexoSetup.exe /quiet /model K20A /port
#       USB001 /log FILE" from its start to its end, against InstallCalls.exe making the
#       calls of that run ("/quiet USB001 FILE": the named port looked up among the
#       spooler's ports, no discovery and no USB binding, as the quiet run; the same log
#       written, and the same half-second pause at the same point) timed the same way:
#       goal within 1.1x.
#
# (a), (b) and (e) run under Wine in Xvfb, in a Wine prefix of their own (build/bench/prefix),
# on the shipped windows-x86 program, or on the windows-x64 one where the machine cannot
# run 32-bit code (it says so); the programs measured against are those of the same build
# (build/windows-x86/bench or build/windows-x64/bench), and InstallCalls.exe makes the
# installer's x86/x64 decision as the program does.
# (a) is timed from the start of the process, (e) from its start to its end (both programs
# from the start of `wine PROGRAM` to the end of that process); in (b) the installer is
# timed by the robot.
# The robot sees a window by polling, here every 5 ms (20 ms in the tests), so that it adds
# little to what it times.
# Each is the median of several runs, the two programs taking turns ((a) and (e): each first
# in every other pair). The installation (b) is the one every one of its calls is in:
# Windows 10 (as Wine reports it to the installer), the port USB001, the default printer
# key; (e) starts from the same prefix.
# The printer, the driver and the log are taken away again before each run of (b) and (e).
#
# usage: scripts/benchmark.sh [RUNS]     RUNS per program for (a), (b) and (e), default 7, 5
#                                        and 7
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
RUNS_A=${1:-7}
RUNS_B=${1:-5}
RUNS_E=${1:-7}
if ! [[ $RUNS_A =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [RUNS]" >&2
    exit 2
fi

say() { printf '==> %s\n' "$*"; }
die() {
    printf 'benchmark: %s\n' "$*" >&2
    [ -n "${ROBOT_ERROR:-}" ] && printf '  the robot: %s\n' "$ROBOT_ERROR" >&2
    [ ${#ROBOT_LINES[@]} -gt 0 ] && printf '    %s\n' "${ROBOT_LINES[@]}" >&2
    [ -n "${E2E_ARTIFACTS:-}" ] && printf '  logs: %s\n' "$E2E_ARTIFACTS" >&2
    exit 1
}
ROBOT_LINES=()

# ---------------------------------------------------------------------------------------
# Tools and builds

say "Checking the tools (scripts/deps.sh installs what is missing, as root via apt-get)"
# shellcheck source=scripts/deps.sh
source scripts/deps.sh
set +e +o pipefail # deps.sh sets its own options; this script checks each step itself
vexo_install_deps || die "could not install the tools"

build_targets() {
    local preset=$1
    shift
    if [ ! -f "build/$preset/CMakeCache.txt" ]; then
        say "Configuring build/$preset (cmake --preset $preset)"
        cmake --preset "$preset" >/dev/null || die "cmake --preset $preset failed"
    fi
    say "Building $* in build/$preset"
    cmake --build "build/$preset" -j "$(nproc 2>/dev/null || echo 2)" --target "$@" -- \
        --no-print-directory >"build/benchmark-build.log" 2>&1 || {
        cat build/benchmark-build.log
        die "building $* in build/$preset failed"
    }
    rm -f build/benchmark-build.log
}
# The programs the installer is measured against (bench/*.cpp) are targets of each windows
# build, so that each is measured against programs built as it is.
BENCH_TARGETS=(vexo_bench_first_page vexo_bench_install_calls)
build_targets windows-x64 VexoSetup vexo_robot "${BENCH_TARGETS[@]}"
build_targets windows-x86 VexoSetup vexo_robot "${BENCH_TARGETS[@]}"
build_targets linux vexo_bench_scan_ports

# The shipped program is the 32-bit one; a machine whose kernel refuses 32-bit code cannot
# start it under Wine, and the 64-bit build of the same sources stands in.
why=$(vexo_32bit_refusal)
if [ -z "$why" ]; then
    SHIPPED=windows-x86
    export E2E_TARGET=x86 # as 32-bit Windows, with the 32-bit robot
else
    SHIPPED=windows-x64
    export E2E_TARGET=x64
    say "The shipped program cannot run here ($why): (a) and (b) measure the windows-x64 build instead of the shipped windows-x86 one"
fi
BIN=$root/build/$SHIPPED/bench

# ---------------------------------------------------------------------------------------
# Arithmetic

# median of the numbers given
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
calc() { awk "BEGIN {printf \"%.3f\", $*}"; }
# "met" or "not met": whether the condition (an awk expression) holds
goal() { awk "BEGIN {exit !($*)}" && echo met || echo "NOT met"; }
# seconds between two $EPOCHREALTIME readings
elapsed() { calc "$2 - $1"; }

# ---------------------------------------------------------------------------------------
# (c) and (d) need no Wine

say "(c) scanPorts on 256 and 5,000 simulated ports (build/linux/bench/vexo_bench_scan_ports)"
scan_output=$(build/linux/bench/vexo_bench_scan_ports) || die "vexo_bench_scan_ports failed"
printf '%s\n' "$scan_output" | sed 's/^/    /'
scan_small=$(sed -n 's/^scanPorts, 256 ports: *\([0-9.]*\) us.*/\1/p' <<<"$scan_output")
scan_large=$(sed -n 's/^scanPorts, 5000 ports: *\([0-9.]*\) us.*/\1/p' <<<"$scan_output")
if [ -z "$scan_small" ] || [ -z "$scan_large" ]; then
    die "could not read the scanPorts figures"
fi
scan_growth=$(calc "$scan_large / $scan_small")
scan_linear=$(calc "5000 / 256")

size_x86=$(stat -c %s build/windows-x86/app/VexoSetup.exe) || die "no windows-x86 VexoSetup.exe"
size_x64=$(stat -c %s build/windows-x64/app/VexoSetup.exe) || die "no windows-x64 VexoSetup.exe"

# ---------------------------------------------------------------------------------------
# Wine

export E2E_OUT=$root/build/bench
# shellcheck source=tests/e2e/lib.sh
source tests/e2e/lib.sh
E2E_ROBOT_EXE=$root/build/$SHIPPED/tests/e2e/robot.exe
E2E_INSTALLER_EXE=$root/build/$SHIPPED/app/VexoSetup.exe
say "Starting Xvfb and the Wine prefix build/bench/prefix (about a minute the first time)"
e2e_init
POLL_MS=5
robot poll "$POLL_MS" || die "setting the robot's poll interval"

OS_PAGE="Select OS (x86/x64)"
SETTINGS_PAGE="Detail Setting (x86/x64)"
PORT_PAGE="Select Port (x86/x64)"

# Starts a program, with its arguments, from the package folder (ended after two minutes
# if it hangs); sets PID and T0.
launch() {
    T0=$EPOCHREALTIME
    (cd "$E2E_PACKAGE" && exec timeout 120 "$E2E_WINE" "$@") >>"$E2E_ARTIFACTS/app.log" 2>&1 &
    PID=$!
}

# Waits for the started program's Unix process to end; sets STATUS and T1.
finish() {
    wait "$PID"
    STATUS=$?
    T1=$EPOCHREALTIME
}

# The robot is fed here without the shell's own work between its commands (the harness's
# robot function quotes each word in a subshell, which costs tens of milliseconds a
# command on this machine): robot_send writes command lines as they are, robot_answer
# reads the answer of the next one.
robot_send() {
    local line
    for line in "$@"; do
        printf '%s\n' "$line" >&"$E2E_ROBOT_IN"
        echo "$EPOCHREALTIME robot> $line" >>"$E2E_ARTIFACTS/robot.log"
    done
}
# Sets ANSWER_AT to the time the answer came; fails on an error answer.
robot_answer() {
    local line
    ROBOT_ERROR="the robot stopped answering"
    while IFS= read -r -t 120 -u "$E2E_ROBOT_OUT" line; do
        echo "$EPOCHREALTIME robot< $line" >>"$E2E_ARTIFACTS/robot.log"
        case $line in
        OK | "OK "*)
            ANSWER_AT=$EPOCHREALTIME
            return 0
            ;;
        "ERR "*)
            ROBOT_ERROR=${line#ERR }
            return 1
            ;;
        esac
    done
    return 1
}

# (a) T: seconds from the start to the first page; the program is closed again by its
# "&Exit" button.
first_window() {
    local exe=$1
    robot_send "wait \"$OS_PAGE\" 60000"
    launch "$exe"
    robot_answer || die "no window \"$OS_PAGE\" from $(basename "$exe")"
    T=$(elapsed "$T0" "$ANSWER_AT")
    robot click "$OS_PAGE" 1010 || die "Exit on the first page of $(basename "$exe")"
    finish
}

# The prefix as the installation (b) needs it, without what an earlier run installed.
prepare_installation() {
    {
        e2e_reset_prefix &&
            e2e_set_windows_version win10 &&
            robot regset "$E2E_PORTS_KEY" USB001 sz "" &&
            robot regkey "$E2E_WINDOWS_KEY"
    } || die "preparing the prefix"
}

# The printer is in the spooler on USB001 with its driver.
check_installed() {
    local l
    robot printers || die "the printers"
    for l in "${ROBOT_LINES[@]}"; do
        [[ $l == 'name="K20A" port="USB001" driver="K20A" '* ]] && return 0
    done
    die "$1 left no printer K20A on USB001"
}

# What the robot does in (b), and the steps of the installation that the answers end.
INSTALL_STEPS=(
    "wait \"$OS_PAGE\" 60000" "click \"$OS_PAGE\" 1009"
    "wait \"$SETTINGS_PAGE\" 30000" "click \"$SETTINGS_PAGE\" 1009"
    "wait \"$PORT_PAGE\" 30000" "click \"$PORT_PAGE\" 1022"
    "msgbox \"Fail to select port\" \"\" 60000" "answer \"Fail to select port\" 2 \"\" 30000"
    "msgbox VexoSetup \"Completed!\" 60000" "answer VexoSetup 1 \"Completed!\" 30000"
)
STEP_NAMES=("start to the first page" "Install Printer Driver to the settings page"
    "Next to the port page" "Install to the USB retry box" "Cancel to \"Completed!\" (with the 0.5 s pause)"
    "OK to the end of the process" "the whole process")
STEP_SAMPLES=()

# (b) T: seconds from the "&Install" click to the final message box, driven by the robot,
# which is given all its commands at once (so it answers the USB retry box as soon as it
# sees it).
installation_with_pages() {
    local at=() i
    prepare_installation
    launch "$E2E_INSTALLER_EXE"
    robot_send "${INSTALL_STEPS[@]}"
    for i in "${!INSTALL_STEPS[@]}"; do
        robot_answer || die "the installation through the pages: ${INSTALL_STEPS[i]}"
        at+=("$ANSWER_AT")
    done
    finish
    T=$(elapsed "${at[5]}" "${at[8]}")
    [ "$STATUS" = 0 ] || die "VexoSetup.exe ended with status $STATUS"
    check_installed "the installation through the pages"
    STEP_SAMPLES[0]+=" $(elapsed "$T0" "${at[0]}")"
    STEP_SAMPLES[1]+=" $(elapsed "${at[1]}" "${at[2]}")"
    STEP_SAMPLES[2]+=" $(elapsed "${at[3]}" "${at[4]}")"
    STEP_SAMPLES[3]+=" $(elapsed "${at[5]}" "${at[6]}")"
    STEP_SAMPLES[4]+=" $(elapsed "${at[7]}" "${at[8]}")"
    STEP_SAMPLES[5]+=" $(elapsed "${at[9]}" "$T1")"
    STEP_SAMPLES[6]+=" $(elapsed "$T0" "$T1")"
}

# (b) T: seconds of the same calls, timed inside the program that makes only them.
installation_calls_only() {
    local times=$E2E_RUN_DIR/calls-time.txt
    prepare_installation
    rm -f "$times"
    launch "$BIN/InstallCalls.exe" "Z:${times//\//\\}"
    finish
    [ "$STATUS" = 0 ] || die "InstallCalls.exe: $STATUS of its deployment calls failed"
    T=$(tr -d "\r" <"$times" 2>/dev/null)
    [[ $T =~ ^[0-9]+\.[0-9]+$ ]] || die "InstallCalls.exe wrote no time to $times"
    check_installed "InstallCalls.exe"
}

# (e) T: seconds from the start of the process to its end, for a quiet installation on
# USB001 with its log; the program's arguments follow its path.
QUIET_LOG=
quiet_installation() {
    local exe=$1
    shift
    QUIET_LOG=$E2E_RUN_DIR/quiet.log
    prepare_installation
    rm -f "$QUIET_LOG"
    launch "$exe" "$@" "Z:${QUIET_LOG//\//\\}"
    finish
    T=$(elapsed "$T0" "$T1")
    [ "$STATUS" = 0 ] || die "$(basename "$exe") /quiet ended with status $STATUS (its log: $QUIET_LOG)"
    tail -n 1 "$QUIET_LOG" 2>/dev/null | grep -q "Exit code 0" ||
        die "$(basename "$exe") /quiet wrote no \"Exit code 0\" to its log $QUIET_LOG"
    check_installed "$(basename "$exe") /quiet"
}
quiet_with_installer() { quiet_installation "$E2E_INSTALLER_EXE" /quiet /model K20A /port USB001 /log; }
quiet_calls_only() { quiet_installation "$BIN/InstallCalls.exe" /quiet USB001; }

# Runs the two measurements of run $1 in turn, the first one first on odd runs and the other
# first on even ones: of a pair of starts, the first is the slower (about 30 ms here under
# Wine, whichever program it is), so a fixed order would charge that to one program.
in_turn() {
    if (($1 % 2)); then
        "$2" && "$3"
    else
        "$3" && "$2"
    fi
}

say "(a) start to the first page: VexoSetup.exe and FirstPage.exe ($SHIPPED), $RUNS_A runs each"
# One start of each first: the first start after the prefix's boot is slower for both.
first_window "$E2E_INSTALLER_EXE"
first_window "$BIN/FirstPage.exe"
a_app=() a_min=()
a_installer() { first_window "$E2E_INSTALLER_EXE" && a_app+=("$T"); }
a_bare() { first_window "$BIN/FirstPage.exe" && a_min+=("$T"); }
for ((i = 1; i <= RUNS_A; i++)); do
    in_turn "$i" a_installer a_bare
    echo "    run $i: VexoSetup ${a_app[-1]} s, the bare page ${a_min[-1]} s"
done

say "(b) the installation from \"&Install\": VexoSetup.exe and InstallCalls.exe ($SHIPPED), $RUNS_B runs each"
installation_calls_only
installation_with_pages
STEP_SAMPLES=()
b_app=() b_calls=()
for ((i = 1; i <= RUNS_B; i++)); do
    installation_with_pages
    b_app+=("$T")
    installation_calls_only
    b_calls+=("$T")
    echo "    run $i: VexoSetup from the click to the final box ${b_app[-1]} s, the calls ${b_calls[-1]} s"
done

say "(e) a quiet installation, start to end: VexoSetup.exe /quiet and InstallCalls.exe /quiet ($SHIPPED), $RUNS_E runs each"
quiet_calls_only
quiet_with_installer
e_app=() e_calls=()
e_installer() { quiet_with_installer && e_app+=("$T"); }
e_calls_only() { quiet_calls_only && e_calls+=("$T"); }
for ((i = 1; i <= RUNS_E; i++)); do
    in_turn "$i" e_installer e_calls_only
    echo "    run $i: VexoSetup /quiet ${e_app[-1]} s, the calls ${e_calls[-1]} s"
done
e2e_reset_prefix >/dev/null

# ---------------------------------------------------------------------------------------
# The figures

a_app_m=$(median "${a_app[@]}")
a_min_m=$(median "${a_min[@]}")
a_ratio=$(calc "$a_app_m / $a_min_m")
b_app_m=$(median "${b_app[@]}")
b_app_net=$(calc "$b_app_m - 0.5")
b_calls_m=$(median "${b_calls[@]}")
b_ratio=$(calc "$b_app_net / $b_calls_m")
e_app_m=$(median "${e_app[@]}")
e_calls_m=$(median "${e_calls[@]}")
e_ratio=$(calc "$e_app_m / $e_calls_m")
kb() { calc "$1 / 1024"; }

echo
say "Results (load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores)"
printf '(a) start to the first page (%s): VexoSetup.exe %.3f s, the same page by a bare dialog procedure %.3f s (medians of %d)\n' \
    "$SHIPPED" "$a_app_m" "$a_min_m" "$RUNS_A"
printf '    ratio %.2fx; goal within 1.1x: %s\n' "$a_ratio" "$(goal "$a_ratio <= 1.1")"
printf '(b) "&Install" to the final message box (%s): VexoSetup.exe %.3f s, less the 0.5 s pause %.3f s;\n' \
    "$SHIPPED" "$b_app_m" "$b_app_net"
printf '    the same calls timed inside InstallCalls.exe %.3f s (medians of %d)\n' "$b_calls_m" "$RUNS_B"
printf '    ratio %.2fx; goal within 1.3x: %s\n' "$b_ratio" "$(goal "$b_ratio <= 1.3")"
echo "    the whole run through the pages, step by step (medians; each wait of the robot polls every $POLL_MS ms):"
for i in "${!STEP_NAMES[@]}"; do
    # shellcheck disable=SC2086 # the samples are words
    printf '      %-52s %.3f s\n' "${STEP_NAMES[i]}" "$(median ${STEP_SAMPLES[i]})"
done
printf '(c) scanPorts: %s us on 256 ports, %s us on 5,000 ports per run\n' "$scan_small" "$scan_large"
printf '    growth %.2fx for %.2fx the ports; goal linear (at most %.2fx): %s\n' \
    "$scan_growth" "$scan_linear" "$scan_linear" "$(goal "$scan_growth <= $scan_linear")"
printf '(d) VexoSetup.exe: windows-x86 %d bytes (%.1f KB), windows-x64 %d bytes (%.1f KB)\n' \
    "$size_x86" "$(kb "$size_x86")" "$size_x64" "$(kb "$size_x64")"
printf '    goal under 400 KB each: %s\n' "$(goal "$size_x86 < 409600 && $size_x64 < 409600")"
printf '(e) a quiet installation, start to end (%s): VexoSetup.exe /quiet %.3f s, the same calls and log\n' \
    "$SHIPPED" "$e_app_m"
printf '    with the same pause by InstallCalls.exe /quiet %.3f s (medians of %d); the difference %.3f s\n' \
    "$e_calls_m" "$RUNS_E" "$(calc "$e_app_m - $e_calls_m")"
printf '    ratio %.2fx; goal within 1.1x: %s\n' "$e_ratio" "$(goal "$e_ratio <= 1.1")"
