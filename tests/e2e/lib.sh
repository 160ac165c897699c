# shellcheck shell=bash
# Helpers of the end-to-end tests: an X server of our own, a private Wine prefix, the UI
# robot as a long-running helper, the installer process, screenshots and scenario results.
# Sourced by tests/e2e/run.sh; everything started here is stopped again by e2e_cleanup,
# which e2e_init installs as the exit trap. Nothing here waits a fixed time: every wait
# polls for the state it needs, with a generous limit.

E2E_SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_OUT=${E2E_OUT:-$E2E_SRC/build/e2e}
E2E_ARTIFACTS=$E2E_OUT/artifacts
E2E_PACKAGE=$E2E_OUT/package

# Bump when the prefix's one-time settings change, so that old prefixes are made again.
E2E_PREFIX_STAMP="vexo-e2e-prefix 3"

E2E_XVFB_PID=
E2E_ROBOT_PID=
E2E_ROBOT_IN=
E2E_ROBOT_OUT=
E2E_APP_PID=
E2E_APP_WINPID=
E2E_RUN_DIR=
E2E_LOCK_FD=

e2e_log() { printf '%s %s\n' "$(date +%H:%M:%S)" "$*" >>"$E2E_ARTIFACTS/e2e.log"; }
e2e_say() {
    printf '%s\n' "$*"
    e2e_log "$*"
}
e2e_die() {
    printf 'e2e: error: %s\n' "$*" >&2
    [ -d "$E2E_ARTIFACTS" ] && e2e_log "error: $*"
    exit 2
}

# Polls COMMAND every tenth of a second until it succeeds or SECONDS have passed.
e2e_poll() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -ge "$end" ] && return 1
        sleep 0.1
    done
}

e2e_alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }
e2e_dead() { ! e2e_alive "$1"; }

# Stops a process we started, by its pid: TERM, then KILL if it does not go.
e2e_stop_pid() {
    local pid=$1
    e2e_alive "$pid" || {
        wait "$pid" 2>/dev/null
        return 0
    }
    kill -TERM "$pid" 2>/dev/null
    e2e_poll 10 e2e_dead "$pid" || kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

# ---------------------------------------------------------------------------------------
# What runs where

# e2e_target NAME: which program runs as which Windows, each in a prefix of its own.
#   x64    the windows-x64 VexoSetup.exe under wine64, as 64-bit Windows
#   x86    the shipped windows-x86 VexoSetup.exe as 32-bit Windows (WINEARCH=win32)
#   wow64  the shipped windows-x86 VexoSetup.exe as 64-bit Windows: a 32-bit process in a
#          64-bit prefix, where IsWow64Process answers true
# Sets E2E_TARGET, E2E_PRESET (the build), E2E_PREFIX, E2E_WINEARCH, E2E_ENVIRONMENT (the
# spooler environment the installer registers its driver for), E2E_PACKAGE_ARCH (the
# package folder it copies from) and E2E_DRIVER_SUBDIR (the driver directory's folder).
# The robot is built for the program's architecture, since the list views it reads across
# processes are laid out for it.
e2e_target() {
    E2E_TARGET=$1
    case $1 in
    x64)
        E2E_PRESET=windows-x64 E2E_WINEARCH=win64 E2E_ENVIRONMENT="Windows x64"
        E2E_PACKAGE_ARCH=x64 E2E_DRIVER_SUBDIR=x64 E2E_PREFIX=$E2E_OUT/prefix
        ;;
    x86)
        E2E_PRESET=windows-x86 E2E_WINEARCH=win32 E2E_ENVIRONMENT="Windows NT x86"
        E2E_PACKAGE_ARCH=x86 E2E_DRIVER_SUBDIR=w32x86 E2E_PREFIX=$E2E_OUT/prefix-x86
        ;;
    wow64)
        E2E_PRESET=windows-x86 E2E_WINEARCH=win64 E2E_ENVIRONMENT="Windows x64"
        E2E_PACKAGE_ARCH=x64 E2E_DRIVER_SUBDIR=x64 E2E_PREFIX=$E2E_OUT/prefix-wow64
        ;;
    *) e2e_die "unknown target $1 (x64, x86 or wow64)" ;;
    esac
}
e2e_target "${E2E_TARGET:-x64}"

# Whether the target's program is the 32-bit one.
e2e_target_is_32bit() { [ "$E2E_PRESET" = windows-x86 ]; }

# The spooler's driver directory of the target's environment, as a folder of this machine.
# Wine makes the folder in the case it has its name in (w32x86), Windows would in its own
# (W32X86): take the one that is there.
e2e_driver_dir() {
    local drivers=$E2E_PREFIX/drive_c/windows/system32/spool/drivers found
    found=$(find "$drivers" -maxdepth 1 -type d -iname "$E2E_DRIVER_SUBDIR" -print -quit 2>/dev/null)
    printf '%s' "${found:-$drivers/$E2E_DRIVER_SUBDIR}"
}

# ---------------------------------------------------------------------------------------
# Building what a run needs

# e2e_build BUILD_DIR TARGET...: configures the target's build (E2E_PRESET) when it is the
# default one and not yet configured, and builds the targets (unless E2E_NO_BUILD=1). Sets
# BUILD to the build directory as an absolute path.
e2e_build() {
    BUILD=$1
    shift
    [[ $BUILD == /* ]] || BUILD=$PWD/$BUILD
    BUILD=$(realpath -m "$BUILD")
    if [ ! -f "$BUILD/CMakeCache.txt" ]; then
        if [ "$BUILD" = "$E2E_SRC/build/$E2E_PRESET" ]; then
            (cd "$E2E_SRC" && cmake --preset "$E2E_PRESET" >/dev/null) ||
                e2e_die "cmake --preset $E2E_PRESET failed"
        else
            e2e_die "$BUILD is not a configured build directory (cmake --preset $E2E_PRESET)"
        fi
    fi
    if [ "${E2E_NO_BUILD:-0}" != 1 ]; then
        cmake --build "$BUILD" -j2 --target "$@" ||
            e2e_die "building $* in $BUILD failed (the tests need the $E2E_PRESET build)"
    fi
}

# ---------------------------------------------------------------------------------------
# Tools

e2e_find_tools() {
    E2E_WINE64=${WINE64:-}
    if [ -z "$E2E_WINE64" ]; then
        E2E_WINE64=$(command -v wine64 || true)
        [ -z "$E2E_WINE64" ] && [ -x /usr/lib/wine/wine64 ] && E2E_WINE64=/usr/lib/wine/wine64
    fi
    if [ -z "$E2E_WINE64" ] || [ ! -x "$E2E_WINE64" ]; then
        e2e_die "wine64 not found (set WINE64)"
    fi
    E2E_WINESERVER=${WINESERVER:-}
    if [ -z "$E2E_WINESERVER" ]; then
        local dir
        dir=$(dirname "$(readlink -f "$E2E_WINE64")")
        for candidate in "$dir/wineserver64" "$dir/wineserver" /usr/lib/wine/wineserver64 \
            "$(command -v wineserver || true)"; do
            [ -n "$candidate" ] && [ -x "$candidate" ] && E2E_WINESERVER=$candidate && break
        done
    fi
    [ -n "$E2E_WINESERVER" ] || e2e_die "wineserver not found (set WINESERVER)"
    export WINESERVER=$E2E_WINESERVER
    # The loader of the target's programs: wine64 for 64-bit ones; Wine's 32-bit loader
    # (wine32) for 32-bit ones, in a 32-bit prefix and under WoW64 in a 64-bit one alike.
    E2E_WINE=$E2E_WINE64
    if e2e_target_is_32bit; then
        E2E_WINE=${WINE32:-/usr/lib/wine/wine}
        [ -x "$E2E_WINE" ] || e2e_die "Wine's 32-bit loader $E2E_WINE not found (apt-get install wine32:i386, or set WINE32)"
    fi
    command -v Xvfb >/dev/null || e2e_die "Xvfb not found (apt-get install xvfb)"
    command -v import >/dev/null || e2e_log "import (imagemagick) not found: no screenshots"
}

# ---------------------------------------------------------------------------------------
# X server

e2e_start_xvfb() {
    local dispfile=$E2E_RUN_DIR/display
    : >"$dispfile"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dispfile" \
        >"$E2E_ARTIFACTS/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    e2e_poll 30 test -s "$dispfile" || e2e_die "Xvfb did not start: $(cat "$E2E_ARTIFACTS/xvfb.log")"
    DISPLAY=:$(tr -d '[:space:]' <"$dispfile")
    export DISPLAY
    e2e_log "Xvfb pid $E2E_XVFB_PID on $DISPLAY"
}

# ---------------------------------------------------------------------------------------
# Wine prefix

e2e_wine_env() {
    export WINEPREFIX=$E2E_PREFIX
    export WINEARCH=$E2E_WINEARCH
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompts while the prefix is made.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
}

# Waits until the prefix's wineserver, and with it every process of the prefix, has ended,
# so that the registry files on disk are complete.
e2e_wine_wait() { timeout 120 "$E2E_WINESERVER" -w; }

# Makes the prefix once and keeps it for later runs (a 32-bit one with Wine's 32-bit loader,
# a 64-bit one with wine64, which sets up its WoW64 half too when wine32 is there): Windows 7
# (Wine's default), a virtual
# desktop (framed, centred windows, and no waiting for a window manager that is not there),
# and a CJK font for the dialogs' face and the system font.
e2e_prepare_prefix() {
    local boot=$E2E_WINE64
    [ "$E2E_WINEARCH" = win32 ] && boot=$E2E_WINE
    if [ -f "$E2E_PREFIX/.vexo-e2e" ] && [ "$(cat "$E2E_PREFIX/.vexo-e2e")" = "$E2E_PREFIX_STAMP $("$boot" --version)" ]; then
        e2e_log "reusing prefix $E2E_PREFIX"
        return
    fi
    e2e_log "creating prefix $E2E_PREFIX"
    rm -rf "$E2E_PREFIX"
    mkdir -p "$E2E_PREFIX"
    timeout 300 "$boot" wineboot -i >>"$E2E_ARTIFACTS/wine.log" 2>&1 ||
        e2e_die "wineboot -i failed (see $E2E_ARTIFACTS/wine.log)"
    if ! fc-list 2>/dev/null | grep -qi "WenQuanYi Micro Hei"; then
        e2e_log "fonts-wqy-microhei is not installed: Chinese texts show as boxes"
    fi
    e2e_start_robot
    if ! {
        robot regset 'HKCU\Software\Wine\Explorer' Desktop sz Default &&
            robot regset 'HKCU\Software\Wine\Explorer\Desktops' Default sz 1024x768 &&
            robot regset 'HKCU\Software\Wine\Fonts\Replacements' "宋体" sz "WenQuanYi Micro Hei" &&
            robot regset 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
                Tahoma multi_sz "wqy-microhei.ttc,WenQuanYi Micro Hei"
    }; then
        e2e_die "could not set up the prefix: $ROBOT_ERROR"
    fi
    # The desktop settings count from the next start of the prefix's processes.
    e2e_stop_robot
    e2e_wine_wait
    printf '%s\n' "$E2E_PREFIX_STAMP $("$boot" --version)" >"$E2E_PREFIX/.vexo-e2e"
    e2e_log "prefix ready"
}

# ---------------------------------------------------------------------------------------
# The robot: one process for the whole run, fed one command a line through a FIFO.

e2e_start_robot() {
    local in=$E2E_RUN_DIR/robot.in out=$E2E_RUN_DIR/robot.out
    rm -f "$in" "$out"
    mkfifo -m 600 "$in" "$out"
    "$E2E_WINE" "$E2E_ROBOT_EXE" serve <"$in" >"$out" 2>>"$E2E_ARTIFACTS/robot.log" &
    E2E_ROBOT_PID=$!
    exec {E2E_ROBOT_IN}>"$in"
    exec {E2E_ROBOT_OUT}<"$out"
    robot ping || e2e_die "the robot does not answer (see $E2E_ARTIFACTS/robot.log)"
    e2e_log "robot pid $E2E_ROBOT_PID"
}

e2e_stop_robot() {
    if [ -n "$E2E_ROBOT_IN" ]; then
        { printf 'quit\n' 1>&"$E2E_ROBOT_IN"; } 2>/dev/null
        exec {E2E_ROBOT_IN}>&-
        E2E_ROBOT_IN=
    fi
    if [ -n "$E2E_ROBOT_PID" ]; then
        e2e_poll 10 e2e_dead "$E2E_ROBOT_PID"
        e2e_stop_pid "$E2E_ROBOT_PID"
        E2E_ROBOT_PID=
    fi
    if [ -n "$E2E_ROBOT_OUT" ]; then
        exec {E2E_ROBOT_OUT}<&-
        E2E_ROBOT_OUT=
    fi
}

# Quotes one word for the robot's command line.
e2e_robot_word() {
    local s=$1
    s=${s//\\/\\\\}
    s=${s//\"/\\\"}
    s=${s//$'\n'/\\n}
    s=${s//$'\t'/\\t}
    s=${s//$'\r'/\\r}
    printf '"%s"' "$s"
}

# Undoes the robot's escapes in a text it answered.
e2e_robot_unescape() {
    local s=$1 out='' c
    while [ -n "$s" ]; do
        c=${s:0:1}
        if [ "$c" = "\\" ] && [ ${#s} -ge 2 ]; then
            case ${s:1:1} in
            n) out+=$'\n' ;;
            r) out+=$'\r' ;;
            t) out+=$'\t' ;;
            x)
                # shellcheck disable=SC2059
                out+=$(printf "\\x${s:2:2}")
                s=${s:2}
                ;;
            *) out+=${s:1:1} ;;
            esac
            s=${s:2}
        else
            out+=$c
            s=${s:1}
        fi
    done
    printf '%s' "$out"
}

# robot COMMAND ARGS...: runs one robot command. Succeeds when the robot answers OK.
# Sets ROBOT_VALUE (the answer's value, unescaped), ROBOT_RAW (as sent), ROBOT_LINES (the
# data lines) and, on failure, ROBOT_ERROR.
ROBOT_VALUE=
ROBOT_RAW=
ROBOT_ERROR=
ROBOT_LINES=()
robot() {
    local line word
    line=$1
    shift
    for word in "$@"; do
        line+=" $(e2e_robot_word "$word")"
    done
    ROBOT_VALUE='' ROBOT_RAW='' ROBOT_ERROR='' ROBOT_LINES=()
    if [ -z "$E2E_ROBOT_IN" ] || ! { printf '%s\n' "$line" 1>&"$E2E_ROBOT_IN"; } 2>/dev/null; then
        ROBOT_ERROR="the robot is not running"
        return 1
    fi
    echo "${EPOCHREALTIME:-} robot> $line" >>"$E2E_ARTIFACTS/robot.log"
    while true; do
        # The robot's own waits are shorter; this limit only catches a robot that hangs.
        if ! IFS= read -r -t 600 -u "$E2E_ROBOT_OUT" line; then
            ROBOT_ERROR="the robot stopped answering"
            e2e_log "robot: $ROBOT_ERROR"
            return 1
        fi
        echo "${EPOCHREALTIME:-} robot< $line" >>"$E2E_ARTIFACTS/robot.log"
        case $line in
        "- "*) ROBOT_LINES+=("${line#- }") ;;
        OK) return 0 ;;
        "OK "*)
            ROBOT_RAW=${line#OK }
            ROBOT_VALUE=$(e2e_robot_unescape "$ROBOT_RAW")
            return 0
            ;;
        "ERR "*)
            ROBOT_ERROR=$(e2e_robot_unescape "${line#ERR }")
            return 1
            ;;
        *) ROBOT_LINES+=("$line") ;;
        esac
    done
}

# The robot's data lines, indented, for a failure report.
robot_lines() {
    local l
    for l in "${ROBOT_LINES[@]}"; do
        printf '    %s\n' "$l"
    done
}

# ---------------------------------------------------------------------------------------
# Prefix state that scenarios change

# Sets the Windows version that programs started from now on see (win7, win10, winxp...),
# or "default" for Wine's own default.
e2e_set_windows_version() {
    if [ "$1" = default ]; then
        robot regdel 'HKCU\Software\Wine' Version
    else
        robot regset 'HKCU\Software\Wine' Version sz "$1"
    fi
}

# What the installer may leave in the prefix, and how a fresh prefix has it.
E2E_MODELS=(K20A K20AW K30A K30AN K30AL M41 M42 M43)
# Printers that scenarios name themselves (/name), and the stand-in Standard TCP/IP Port
# monitor that one registers, with its ports.
E2E_NAMED_PRINTERS=("2nd floor K20A")
E2E_TCPMON_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Standard TCP/IP Port'
E2E_PORTS_KEY='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports'
E2E_FRESH_PORTS=("COM1:" "COM2:" "COM3:" "COM4:" "FILE:" "LPT1:" "LPT2:" "LPT3:")
E2E_WINDOWS_KEY='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows'
E2E_SERIAL_MAP_KEY='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
# Whether the serial device map as Wine built it for this run has been read (before the
# first scenario, which may change it).
E2E_SERIAL_MAP_READ=0

# Sets E2E_NAMES to the names of a key's values; fails when the key cannot be opened.
E2E_NAMES=()
e2e_value_names() {
    local l
    E2E_NAMES=()
    robot regls "$1" || return 1
    for l in "${ROBOT_LINES[@]}"; do
        case $l in
        "value "*)
            l=${l#value \"}
            E2E_NAMES+=("$(e2e_robot_unescape "${l%\" *}")")
            ;;
        esac
    done
}

# Remembers the serial device map (E2E_SERIAL_MAP: NAME=DATA pairs).
E2E_SERIAL_MAP=()
e2e_read_serial_map() {
    local name
    E2E_SERIAL_MAP=()
    e2e_value_names "$E2E_SERIAL_MAP_KEY" || return 0 # no map at all
    for name in "${E2E_NAMES[@]}"; do
        robot regget "$E2E_SERIAL_MAP_KEY" "$name" || return 1
        E2E_SERIAL_MAP+=("$name=$ROBOT_VALUE")
    done
}

# Makes the serial device map hold just the NAME=DATA pairs given (none: an empty map).
e2e_set_serial_map() {
    local name pair
    if e2e_value_names "$E2E_SERIAL_MAP_KEY"; then
        for name in "${E2E_NAMES[@]}"; do
            robot regdel "$E2E_SERIAL_MAP_KEY" "$name" || return 1
        done
    fi
    for pair in "$@"; do
        robot regset "$E2E_SERIAL_MAP_KEY" "${pair%%=*}" sz "${pair#*=}" || return 1
    done
}

# Takes away the printers, drivers, ports, registry values and driver files that an
# installation adds, so that every scenario starts from a prefix without them.
e2e_reset_spooler() {
    local model name
    for model in "${E2E_MODELS[@]}" "${E2E_NAMED_PRINTERS[@]}"; do
        robot delprinter "$model" || return 1
    done
    robot regdel "$E2E_TCPMON_KEY" || return 1
    # Under WoW64 a driver registered for the process's own environment would be a fault
    # that the scenarios look for; it goes too.
    local environments=("$E2E_ENVIRONMENT") env
    [ "$E2E_TARGET" = wow64 ] && environments+=("Windows NT x86")
    for env in "${environments[@]}"; do
        for model in "${E2E_MODELS[@]}"; do
            robot deldriver "$model" "$env" || return 1
        done
    done
    # Ports that scenarios or the port monitor's dialog added.
    e2e_value_names "$E2E_PORTS_KEY" || return 1
    for name in "${E2E_NAMES[@]}"; do
        case " ${E2E_FRESH_PORTS[*]} " in
        *" $name "*) ;;
        *) robot regdel "$E2E_PORTS_KEY" "$name" || return 1 ;;
        esac
    done
    # A fresh prefix has no such key, so no default printer.
    robot regdel "$E2E_WINDOWS_KEY" || return 1
    # The files that the installer copied into the driver directory, and those that Wine's
    # driver registration copied on into its version folder (where Wine keeps its own
    # wineps.drv).
    local dir
    for dir in "$(e2e_driver_dir)" "$E2E_PREFIX/drive_c/windows/system32/spool/drivers/w32x86"; do
        if [ -d "$dir" ]; then
            find "$dir" -maxdepth 1 -type f -delete
            if [ -d "$dir/3" ]; then
                find "$dir/3" -maxdepth 1 -type f ! -iname wineps.drv -delete
            fi
        fi
    done
    if [ "$E2E_SERIAL_MAP_READ" = 0 ]; then
        e2e_read_serial_map || return 1
        E2E_SERIAL_MAP_READ=1
    else
        e2e_set_serial_map "${E2E_SERIAL_MAP[@]}" || return 1
    fi
}

# Puts back what scenarios change, before each scenario.
e2e_reset_prefix() {
    e2e_set_windows_version default || return 1
    # The files that scenarios put at the root of drive C: (the command line's logs and
    # marks), and the logs that command-line runs wrote into the temporary folder.
    rm -f "$E2E_PREFIX"/drive_c/vexo-e2e*
    find "$E2E_PREFIX/drive_c/users" -name 'VexoSetup-*.log' -type f -delete 2>/dev/null
    e2e_reset_spooler
}

# Stops every process of the prefix (the robot first) and waits until the registry files
# are written; the robot is started again for the next command.
e2e_flush_registry() {
    e2e_stop_installer
    e2e_stop_robot
    e2e_wine_wait
    e2e_start_robot
}

# ---------------------------------------------------------------------------------------
# The program under test

# Starts a Windows program with the sample package (or the folder DIR) as its current
# directory, with the arguments ARGS. Sets E2E_APP_PID (the Unix process) and E2E_APP_WINPID
# (its Windows process id).
e2e_start_program() {
    local exe=$1 dir=${2:-$E2E_PACKAGE}
    shift $(($# < 2 ? $# : 2))
    [ -f "$exe" ] || {
        ROBOT_ERROR="no program $exe"
        return 1
    }
    e2e_stop_installer
    (cd "$dir" && exec "$E2E_WINE" "$exe" "$@") >>"$E2E_ARTIFACTS/app.log" 2>&1 &
    E2E_APP_PID=$!
    e2e_log "started $(basename "$exe") as pid $E2E_APP_PID"
    local end=$((SECONDS + 60))
    until robot pidof "$(basename "$exe")" 1000; do
        if e2e_dead "$E2E_APP_PID"; then
            wait "$E2E_APP_PID"
            ROBOT_ERROR="$(basename "$exe") ended at once (status $?; see $E2E_ARTIFACTS/app.log)"
            E2E_APP_PID=
            return 1
        fi
        [ "$SECONDS" -ge "$end" ] && return 1
    done
    E2E_APP_WINPID=$ROBOT_VALUE
}

# Waits for the started program to show a window with the title (and fails at once if
# the program ends first).
e2e_wait_window() {
    robot wait "$1" $((${2:-60} * 1000)) "$E2E_APP_WINPID"
}

e2e_start_installer() { e2e_start_program "$E2E_INSTALLER_EXE" "$@"; }

# Sets E2E_APP_SEEN, E2E_OTHER_WINDOWS and E2E_APP_CODE from the robot's answer to a watch
# of a program (waitexit or runwait).
e2e_read_watch() {
    local l
    E2E_APP_SEEN=
    E2E_OTHER_WINDOWS=
    E2E_APP_CODE=
    for l in "${ROBOT_LINES[@]}"; do
        case $l in
        seen*)
            l=${l#*title=\"}
            E2E_APP_SEEN+="$(e2e_robot_unescape "${l%\"}")"$'\n'
            ;;
        other*) E2E_OTHER_WINDOWS+="$l"$'\n' ;;
        esac
    done
    case $ROBOT_VALUE in
    code=*) E2E_APP_CODE=${ROBOT_VALUE#code=} ;;
    esac
}

# Waits up to SECONDS for the program to end. Sets E2E_APP_SEEN to the titles of the
# top-level windows it showed while the robot watched, one a line, E2E_OTHER_WINDOWS to the
# windows that other processes opened meanwhile, E2E_APP_CODE to its exit code as Windows
# has it (the robot keeps a handle from pidof on, so it has the code even of a program that
# ended before the watch began) and E2E_APP_STATUS to the status that Wine passed to the
# shell (the code's low 8 bits).
E2E_APP_SEEN=
E2E_OTHER_WINDOWS=
E2E_APP_STATUS=
E2E_APP_CODE=
e2e_wait_exit() {
    local seconds=${1:-60}
    E2E_APP_SEEN=
    E2E_OTHER_WINDOWS=
    E2E_APP_STATUS=
    E2E_APP_CODE=
    if ! robot waitexit "$E2E_APP_WINPID" $((seconds * 1000)); then
        return 1
    fi
    e2e_read_watch
    e2e_poll "$seconds" e2e_dead "$E2E_APP_PID" || {
        ROBOT_ERROR="the Windows process ended but its Unix process $E2E_APP_PID did not"
        return 1
    }
    wait "$E2E_APP_PID" 2>/dev/null
    # shellcheck disable=SC2034 # read by the scenarios
    E2E_APP_STATUS=$?
    E2E_APP_PID=
}

# A folder or file of this machine as Wine's programs name it (through the drive Z:).
e2e_windows_path() {
    local p=$1
    printf 'Z:%s' "${p//\//\\}"
}

# e2e_run_program SECONDS DIR EXE ARGS...: the robot starts the Windows program with the
# arguments in the folder DIR, watches it until it ends (up to SECONDS; then the robot ends
# it and this fails) and sets E2E_APP_CODE, E2E_APP_SEEN and E2E_OTHER_WINDOWS as
# e2e_wait_exit does. For programs that may end at once and should show no window.
e2e_run_program() {
    local seconds=$1 dir=$2 exe=$3
    shift 3
    e2e_stop_installer
    E2E_APP_SEEN=
    E2E_OTHER_WINDOWS=
    # shellcheck disable=SC2034 # read by the scenarios
    E2E_APP_CODE=
    e2e_log "run $(basename "$exe") $*"
    robot runwait "$(e2e_windows_path "$dir")" $((seconds * 1000)) "$(e2e_windows_path "$exe")" "$@" ||
        return 1
    e2e_read_watch
}

# e2e_run_installer SECONDS DIR ARGS...: the installer, with arguments, from the folder DIR.
e2e_run_installer() {
    local seconds=$1 dir=$2
    shift 2
    e2e_run_program "$seconds" "$dir" "$E2E_INSTALLER_EXE" "$@"
}

e2e_stop_installer() {
    if [ -n "$E2E_APP_PID" ]; then
        e2e_stop_pid "$E2E_APP_PID"
        E2E_APP_PID=
    fi
}

e2e_screenshot() {
    local name=$1
    command -v import >/dev/null || return 0
    import -display "$DISPLAY" -window root "$E2E_ARTIFACTS/$name.png" 2>>"$E2E_ARTIFACTS/e2e.log" &&
        e2e_log "screenshot $name.png"
}

# ---------------------------------------------------------------------------------------
# Scenarios and their results

E2E_PASSED=0
E2E_FAILED=0
E2E_SKIPPED=0
E2E_PROBLEMS=
E2E_SEEN=

# Records a failed check; the scenario goes on so that one report shows everything.
e2e_fail() {
    E2E_PROBLEMS+="  $*"$'\n'
}

# Records a failed robot command: its error, and what the robot saw, which the report
# shows once, after the list of failed checks.
e2e_fail_robot() {
    e2e_fail "$1: $ROBOT_ERROR"
    [ ${#ROBOT_LINES[@]} -gt 0 ] && E2E_SEEN=$(robot_lines)
}

# expect DESCRIPTION EXPECTED ACTUAL
expect() {
    if [ "$2" != "$3" ]; then
        e2e_fail "$1: expected \"$2\", saw \"$3\""
        return 1
    fi
}

# expect_robot DESCRIPTION COMMAND ARGS...: the robot command (or a shell function of
# these helpers that runs robot commands) must succeed.
expect_robot() {
    local what=$1 run=robot
    shift
    declare -F "$1" >/dev/null && run=
    if ! $run "$@"; then
        e2e_fail_robot "$what"
        return 1
    fi
}

# expect_prop WINDOW ID PROPERTY VALUE [DESCRIPTION]: a control's property has the value
# (waited for briefly, since actions reach the program asynchronously).
expect_prop() {
    local what=${5:-"control $2 $3"}
    if ! robot waitprop "$1" "$2" "$3" "$4" 5000; then
        e2e_fail_robot "$what"
        return 1
    fi
}

# Ends the scenario's program if it is still running.
e2e_end_scenario_program() {
    if [ -n "$E2E_APP_PID" ] && e2e_alive "$E2E_APP_PID"; then
        robot windows
        e2e_fail "the program was still running at the end"
        E2E_SEEN+=$(robot_lines)
    fi
    e2e_stop_installer
}

# scenario NAME FUNCTION: runs one scenario and prints PASS, FAIL (with what was seen) or
# SKIP (when the function returns 77 and sets E2E_SKIP_REASON).
scenario() {
    local name=$1 fn=$2 rc
    E2E_PROBLEMS=
    E2E_SEEN=
    E2E_SKIP_REASON=
    e2e_log "=== $name"
    if ! e2e_reset_prefix; then
        e2e_fail "could not reset the prefix: $ROBOT_ERROR"
    else
        "$fn"
        rc=$?
        if [ "$rc" -eq 77 ]; then
            e2e_stop_installer
            E2E_SKIPPED=$((E2E_SKIPPED + 1))
            e2e_say "SKIP $name: $E2E_SKIP_REASON"
            return
        fi
        [ "$rc" -ne 0 ] && [ -z "$E2E_PROBLEMS" ] && e2e_fail "failed: ${ROBOT_ERROR:-status $rc}"
    fi
    e2e_end_scenario_program
    if [ -z "$E2E_PROBLEMS" ]; then
        E2E_PASSED=$((E2E_PASSED + 1))
        e2e_say "PASS $name"
    else
        E2E_FAILED=$((E2E_FAILED + 1))
        e2e_say "FAIL $name"
        [ -n "$E2E_SEEN" ] && E2E_PROBLEMS+="  the robot saw:"$'\n'"$E2E_SEEN"$'\n'
        printf '%s' "$E2E_PROBLEMS"
        e2e_log "$E2E_PROBLEMS"
        e2e_screenshot "FAIL-${name//[^A-Za-z0-9_-]/_}"
    fi
}

# e2e_summary [LABEL]: the closing count line, "LABEL: N passed, N failed".
e2e_summary() {
    echo "${1:+$1: }$E2E_PASSED passed, $E2E_FAILED failed"
    [ "$E2E_FAILED" -eq 0 ]
}

# ---------------------------------------------------------------------------------------
# Start and end

e2e_cleanup() {
    set +e
    trap - EXIT INT TERM
    e2e_stop_installer
    e2e_stop_robot
    # The prefix's own wineserver: it ends the prefix's remaining processes (the desktop,
    # services), all started by this run.
    if [ -n "${WINEPREFIX:-}" ] && [ -n "${E2E_WINESERVER:-}" ]; then
        "$E2E_WINESERVER" -k 2>/dev/null
        timeout 30 "$E2E_WINESERVER" -w 2>/dev/null
    fi
    if [ -n "$E2E_XVFB_PID" ]; then
        e2e_stop_pid "$E2E_XVFB_PID"
        E2E_XVFB_PID=
    fi
    [ -n "$E2E_RUN_DIR" ] && rm -rf "$E2E_RUN_DIR"
    if [ -n "$E2E_LOCK_FD" ]; then
        exec {E2E_LOCK_FD}>&-
        E2E_LOCK_FD=
    fi
}

# e2e_init: tools, output folders, the lock on the prefix, Xvfb, the prefix, the sample
# package and the robot. Needs E2E_ROBOT_EXE (and E2E_INSTALLER_EXE for the installer).
e2e_init() {
    mkdir -p "$E2E_OUT"
    # One run at a time uses the prefix and the artifacts.
    exec {E2E_LOCK_FD}>"$E2E_OUT/prefix.lock"
    flock -w 600 "$E2E_LOCK_FD" || e2e_die "another end-to-end run holds $E2E_OUT/prefix.lock"
    rm -rf "$E2E_ARTIFACTS" "$E2E_OUT"/run.*
    mkdir -p "$E2E_ARTIFACTS"
    : >"$E2E_ARTIFACTS/e2e.log"
    : >"$E2E_ARTIFACTS/robot.log"
    : >"$E2E_ARTIFACTS/app.log"
    e2e_find_tools
    [ -f "$E2E_ROBOT_EXE" ] || e2e_die "robot not found: $E2E_ROBOT_EXE"
    E2E_RUN_DIR=$(mktemp -d "$E2E_OUT/run.XXXXXX")
    trap e2e_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    e2e_wine_env
    # A run that was killed may have left the prefix's wineserver behind, tied to its X
    # server, which is gone; end it (the lock says no other run is using it).
    "$E2E_WINESERVER" -k 2>/dev/null
    e2e_wine_wait
    e2e_start_xvfb
    e2e_prepare_prefix
    "$E2E_SRC/scripts/make-sample-package.sh" "$E2E_PACKAGE" || e2e_die "could not make the sample package"
    e2e_start_robot
    robot windows >/dev/null
}
