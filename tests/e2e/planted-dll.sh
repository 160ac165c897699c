#!/usr/bin/env bash
# Planted DLLs under Wine: a winspool.drv that records its loading is put into a copy of the
# sample package, which is the folder of the installer and its current directory, and Wine
# is told to prefer a winspool.drv found there (WINEDLLOVERRIDES winspool.drv=n,b, which is
# how Windows resolves a DLL that is no KnownDLL). A probe that imports winspool.drv the
# ordinary way loads the planted DLL, which shows that the check can fail; a whole
# installation with the installer does not load it and completes.
#
# usage: tests/e2e/planted-dll.sh [BUILD_DIR]
#   BUILD_DIR   the windows-x64 build (default build/windows-x64; configured if missing)
# E2E_NO_BUILD=1 skips building and runs the programs that are there.
#
# Prints PASS or FAIL (with what was seen) per scenario and ends with "N passed, N failed";
# the exit status is non-zero when a scenario failed. Logs go to build/e2e/artifacts/.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"

e2e_build "${1:-$E2E_SRC/build/windows-x64}" vexo_robot VexoSetup vexo_planted_winspool \
    vexo_planted_probe

E2E_ROBOT_EXE=$BUILD/tests/e2e/robot.exe
E2E_INSTALLER_EXE=$BUILD/app/VexoSetup.exe
PLANTED_DLL=$BUILD/tests/e2e/planted/winspool.drv
PROBE_EXE=$BUILD/tests/e2e/planted/planted_probe.exe
for f in "$E2E_INSTALLER_EXE" "$PLANTED_DLL" "$PROBE_EXE"; do
    [ -f "$f" ] || e2e_die "$f is missing: build it with cmake --build $BUILD"
done

OS_PAGE="Select OS (x86/x64)"
SETTINGS_PAGE="Detail Setting (x86/x64)"
PORT_PAGE="Select Port (x86/x64)"
APP_BOX="VexoSetup"
# What the planted DLL writes beside itself when a process loads it.
MARKER=planted-winspool-loaded.txt
WINDOWS_KEY='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows'
PRINTER=K20A

# The folder a user downloaded the package to; set by e2e_init's run directory.
PLANTED_DIR=
DRIVER_DIR=$E2E_PREFIX/drive_c/windows/system32/spool/drivers/x64
# The driver files that were there before the installation, to take away only new ones.
DRIVER_FILES_BEFORE=
CREATED_WINDOWS_KEY=0

# Runs a command with Wine preferring a winspool.drv beside the program for the programs it
# starts. The robot, already running, keeps the system's.
with_planted_override() {
    local saved=$WINEDLLOVERRIDES rc
    export WINEDLLOVERRIDES="$saved;winspool.drv=n,b"
    "$@"
    rc=$?
    export WINEDLLOVERRIDES="$saved"
    return "$rc"
}

# A fresh copy of the sample package with the planted DLL, the installer and the probe in it.
make_planted_folder() {
    rm -rf "$PLANTED_DIR"
    if ! { mkdir -p "$PLANTED_DIR" && cp -a "$E2E_PACKAGE/." "$PLANTED_DIR/" &&
        cp "$PLANTED_DLL" "$E2E_INSTALLER_EXE" "$PROBE_EXE" "$PLANTED_DIR/"; }; then
        ROBOT_ERROR="could not make $PLANTED_DIR"
        return 1
    fi
}

# Fails (recording what the marker says) when the planted DLL was loaded.
expect_no_marker() {
    if [ -e "$PLANTED_DIR/$MARKER" ]; then
        e2e_fail "$1: the planted winspool.drv was loaded by: $(tr -d '\r' <"$PLANTED_DIR/$MARKER" | paste -sd ' ')"
        return 1
    fi
}

# ---------------------------------------------------------------------------------------
# Scenarios

# The counter-check: a program that imports winspool.drv loads the planted one.
probe_loads_the_planted_dll() {
    make_planted_folder || return 1
    local out status
    out=$(cd "$PLANTED_DIR" &&
        with_planted_override timeout 120 "$E2E_WINE64" planted_probe.exe 2>>"$E2E_ARTIFACTS/app.log")
    status=$?
    e2e_log "planted_probe.exe: status $status: $out"
    expect "exit status of planted_probe.exe (it said \"$out\")" 0 "$status"
    if [ ! -f "$PLANTED_DIR/$MARKER" ]; then
        e2e_fail "planted_probe.exe did not load the planted winspool.drv (no $MARKER; it said \"$out\")"
        return 1
    fi
    grep -qi 'planted_probe\.exe' "$PLANTED_DIR/$MARKER" ||
        e2e_fail "the marker does not name planted_probe.exe: $(cat "$PLANTED_DIR/$MARKER")"
    # The probe got the planted DLL's answer, not the spooler's.
    [[ $out == *"error 50)"* ]] || e2e_fail "planted_probe.exe did not get ERROR_NOT_SUPPORTED: \"$out\""
}

# Sets ROBOT_VALUE to the row of the port list that shows the port.
port_row() {
    local l
    robot lvrows "$PORT_PAGE" 1021 || return 1
    for l in "${ROBOT_LINES[@]}"; do
        if [[ $l == *" \"$1\" "* ]]; then
            l=${l#row=}
            ROBOT_VALUE=${l%% *}
            return 0
        fi
    done
    ROBOT_ERROR="no row for $1"
    return 1
}

# Drives a whole installation: K20A with its default settings on LPT1:, then "Completed!".
install_k20a_on_lpt1() {
    expect_robot "the first page" e2e_wait_window "$OS_PAGE" || return 1
    expect_robot "click Install Printer Driver" click "$OS_PAGE" 1009 || return 1
    expect_robot "the settings page" e2e_wait_window "$SETTINGS_PAGE" 30 || return 1
    expect_robot "click Next" click "$SETTINGS_PAGE" 1009 || return 1
    expect_robot "the port page" e2e_wait_window "$PORT_PAGE" 30 || return 1
    expect_robot "click Search Port" click "$PORT_PAGE" 1036 || return 1
    expect_robot "the port list shows LPT1:" e2e_poll 30 port_row "LPT1:" || return 1
    expect_robot "select LPT1:" lvselect "$PORT_PAGE" 1021 "$ROBOT_VALUE" || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    expect_robot "the box \"Completed!\"" msgbox "$APP_BOX" "Completed!" 60000 || return 1
    e2e_screenshot planted-dll-completed
    expect_robot "answer \"Completed!\"" answer "$APP_BOX" 1 "Completed!" 30000 || return 1
    expect_robot "the installer ends" e2e_wait_exit 60
}

# Whether the spooler lists a record (printers, or drivers ENVIRONMENT) of that name.
spooler_has() {
    local name=$1 l
    shift
    robot "$@" || return 2
    for l in "${ROBOT_LINES[@]}"; do
        [[ $l == "name=\"$name\" "* ]] && return 0
    done
    return 1
}

# The installer, started from the folder with the planted DLL, installs K20A on LPT1:.
install_ignores_the_planted_dll() {
    make_planted_folder || return 1
    # Every Windows has the key of the default printer; a fresh Wine prefix lacks it.
    if ! robot regls "$WINDOWS_KEY"; then
        expect_robot "create $WINDOWS_KEY" regkey "$WINDOWS_KEY" || return 1
        CREATED_WINDOWS_KEY=1
    fi
    DRIVER_FILES_BEFORE=$(find "$DRIVER_DIR" -type f 2>/dev/null | sort)

    if ! with_planted_override e2e_start_program "$PLANTED_DIR/VexoSetup.exe" "$PLANTED_DIR"; then
        e2e_fail_robot "start VexoSetup.exe from $PLANTED_DIR"
        return 1
    fi
    install_k20a_on_lpt1
    # Checked however far the installation came: a load is the likeliest cause of a failure.
    expect_no_marker "the installer"
    spooler_has "$PRINTER" printers
    case $? in
    0) ;;
    1)
        e2e_fail "no printer $PRINTER in the spooler"
        E2E_SEEN+=$(robot_lines)
        ;;
    *) e2e_fail_robot "the printers" ;;
    esac
}

# Takes away what the installation added, and the folder. Sets ROBOT_ERROR to the first
# failure.
undo_changes() {
    local error='' f
    spooler_has "$PRINTER" printers && { robot delprinter "$PRINTER" || error=${error:-$ROBOT_ERROR}; }
    spooler_has "$PRINTER" drivers "Windows x64" &&
        { robot deldriver "$PRINTER" "Windows x64" || error=${error:-$ROBOT_ERROR}; }
    if [ "$CREATED_WINDOWS_KEY" = 1 ]; then
        robot regdel "$WINDOWS_KEY" || error=${error:-$ROBOT_ERROR}
    fi
    if [ -d "$DRIVER_DIR" ]; then
        while IFS= read -r f; do
            grep -qxF "$f" <<<"$DRIVER_FILES_BEFORE" || rm -f "$f"
        done < <(find "$DRIVER_DIR" -type f)
    fi
    rm -rf "$PLANTED_DIR"
    ROBOT_ERROR=$error
    [ -z "$error" ]
}

# ---------------------------------------------------------------------------------------

e2e_init
PLANTED_DIR="$E2E_RUN_DIR/Downloads/VEXO driver"
scenario "a program that imports winspool.drv loads the planted one (the check can fail)" \
    probe_loads_the_planted_dll
scenario "a whole installation from the folder does not load it and completes" \
    install_ignores_the_planted_dll
if ! undo_changes; then
    E2E_FAILED=$((E2E_FAILED + 1))
    e2e_say "FAIL putting the prefix back: $ROBOT_ERROR"
fi
e2e_summary
