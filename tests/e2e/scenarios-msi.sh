# shellcheck shell=bash
# End-to-end scenarios of the Windows Installer packages (scripts/msi.sh): msiexec installs,
# upgrades, refuses an older version and removes K20A's MSI, which runs the shipped program;
# a network printer's properties reach it and its removal; a failing action rolls everything
# back. Sourced by tests/e2e/run.sh for the x86 target
# only (Wine's WoW64 refuses the printer), after scenarios-cli.sh, whose helpers these use.
# msiexec is started by the robot, which reads its whole exit code. Under Wine a failing
# action ends msiexec with 1627 where Windows gives 1603, and a major upgrade runs the old
# product's removal action at once (Windows skips it during an upgrade): what is checked of
# an upgrade is its end state; the release tests check the tables for Windows' order. Every
# msiexec run's exit code, the program's logs and msiexec's own go to msi-runs.log among the
# artifacts.

MSI_SECONDS=300
MSI_RUNS=$E2E_ARTIFACTS/msi-runs.log
MSI_KEY='HKLM\Software\VEXO\Printer Setup\K20A'
MSI_UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
MSI_FOLDER=$E2E_PREFIX/drive_c/Program\ Files/VEXO
MSI_PROGRAM_FOLDER='C:\Program Files\VEXO\Printer Setup\K20A'
MSI_VERSION=$(sed -n 's/^#define VEXO_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)$/\2/p' \
    "$E2E_SRC/platform/Version.h" | paste -sd.)
MSI_NEXT=${MSI_VERSION%.*}.$((${MSI_VERSION##*.} + 1))
MSI_OLDER=0.0.1
: >"$MSI_RUNS"

# The MSI of a version, built once a run from the sample package and the program under test.
msi_file() { printf '%s' "$E2E_RUN_DIR/msi/VexoPrinter-K20A-$1.msi"; }
msi_product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }

msi_build() {
    local v out
    [ -f "$(msi_file "$MSI_OLDER")" ] && return 0
    for v in "$MSI_VERSION" "$MSI_NEXT" "$MSI_OLDER"; do
        if ! out=$("$E2E_SRC/scripts/msi.sh" --program "$E2E_INSTALLER_EXE" --model K20A --version "$v" \
            --out "$E2E_RUN_DIR/msi" "$E2E_PACKAGE" 2>&1); then
            e2e_fail "scripts/msi.sh --version $v failed:"$'\n'"$(indent "$out")"
            return 1
        fi
    done
}

# Removes what an earlier run may have left installed, by product code.
msi_remove_leftovers() {
    local v code
    for v in "$MSI_VERSION" "$MSI_NEXT" "$MSI_OLDER"; do
        code=$(msi_product_code "$(msi_file "$v")")
        if robot regget "$MSI_UNINSTALL\\$code" DisplayName; then
            msi_run /x "$code" /qn || return 1
        fi
    done
    rm -rf "$MSI_FOLDER"
    robot regdel "$MSI_KEY" >/dev/null
}

# msi_run ARGS...: msiexec with the arguments, started in C:\ by the robot. The program's logs
# of the run go, one after the other, to CLI_LOG, for the command line's checks (the
# scenarios make it a file of their own); they and msiexec's verbose log go to msi-runs.log.
MSI_RUN_COUNT=0
msi_run() {
    local marker=$E2E_RUN_DIR/msi-marker log=$E2E_RUN_DIR/msiexec-$((++MSI_RUN_COUNT)).log
    CLI_ARGS="msiexec $*"
    CLI_LOG_SHOWN=0
    : >"$marker"
    e2e_log "$CLI_ARGS"
    if ! robot runwait 'C:\' $((MSI_SECONDS * 1000)) 'C:\windows\system32\msiexec.exe' "$@" \
        /l*v "$(e2e_windows_path "$log")"; then
        e2e_fail_robot "$CLI_ARGS"
        return 1
    fi
    e2e_read_watch
    find "$E2E_PREFIX/drive_c" -name 'VexoSetup-*.log' -newer "$marker" -print0 2>/dev/null |
        sort -z | xargs -0 -r cat >"$CLI_LOG"
    {
        printf '== %s: exit code %s\n' "$CLI_ARGS" "$E2E_APP_CODE"
        tr -d '\r' <"$CLI_LOG"
        [ -f "$log" ] && tr -d '\r' <"$log"
        echo
    } >>"$MSI_RUNS"
}

# The products "Apps & features" lists: exactly the version given, or none.
msi_expect_listed() {
    local want=$1 v code listed=
    for v in "$MSI_VERSION" "$MSI_NEXT" "$MSI_OLDER"; do
        code=$(msi_product_code "$(msi_file "$v")")
        if robot regget "$MSI_UNINSTALL\\$code" DisplayName; then
            listed+="${listed:+ }$v"
            expect "the entry's name" "VEXO K20A printer driver" "$ROBOT_VALUE"
            robot regget "$MSI_UNINSTALL\\$code" DisplayVersion && expect "the entry's version" "$v" "$ROBOT_VALUE"
            robot regget "$MSI_UNINSTALL\\$code" Publisher && expect "the entry's publisher" VEXO "$ROBOT_VALUE"
        fi
    done
    expect "the versions Apps & features lists after $CLI_ARGS" "$want" "$listed"
}

# Nothing of the product is left: no printer, driver, files, entry or kept properties.
msi_expect_nothing_left() {
    expect_no_printer K20A
    expect_no_driver K20A "$E2E_ENVIRONMENT"
    msi_expect_listed ""
    # Wine keeps the empty shared folders "VEXO\Printer Setup" (it looks at them before the
    # files go); Windows removes them with the last model's product.
    [ ! -e "$MSI_FOLDER/Printer Setup/K20A" ] && [ -z "$(find "$MSI_FOLDER" -type f 2>/dev/null)" ] ||
        e2e_fail "$CLI_ARGS left $(find "$MSI_FOLDER" | head -5)"
    robot regls "$MSI_KEY" && e2e_fail "$CLI_ARGS left the key $MSI_KEY: ${ROBOT_LINES[*]}"
    return 0
}

# Installs with PORT and NODEFAULT as the quiet run does, upgrades in place to the next version
# with the properties kept, refuses an older version, and removes everything.
msi_install_upgrade_remove() {
    local earlier="Earlier,winspool,LPT2:" CLI_LOG=$E2E_RUN_DIR/msi-program.log CLI_LOG_NAME="of the program"
    msi_build && msi_remove_leftovers || return 1
    expect_robot "an earlier default printer" regset "$DEVICE_KEY" Device sz "$earlier" || return 1

    msi_run /i "$(e2e_windows_path "$(msi_file "$MSI_VERSION")")" /qn PORT=LPT1: NODEFAULT=1 || return 1
    cli_expect_quiet_exit 0
    cli_expect_log "Command line: \"$MSI_PROGRAM_FOLDER\\VexoSetup.exe\" /quiet /model K20A \"/port=LPT1:\" /nodefault \"/record=$MSI_PROGRAM_FOLDER\\VexoSetup.record\" \"/token=*\"" \
        "The current folder \"C:\\\" holds no \"Printer Driver\" folder: the driver package is taken from the program's folder \"$MSI_PROGRAM_FOLDER\"" \
        "Checked the driver package \"$MSI_PROGRAM_FOLDER\": only administrators and this account can change it" \
        'Installed: the printer "K20A" on the port "LPT1:"' "Exit code 0"
    expect_printer K20A LPT1:
    expect_driver K20A TQ20P.GPD TQ20Ev1.DLL
    expect_device "$earlier"
    msi_expect_listed "$MSI_VERSION"
    cmp -s "$E2E_INSTALLER_EXE" "$MSI_FOLDER/Printer Setup/K20A/VexoSetup.exe" ||
        e2e_fail "the program in $MSI_PROGRAM_FOLDER is not the one under test"
    robot regget "$MSI_KEY" PORT && expect "PORT kept for the removal and the next version" LPT1: "$ROBOT_VALUE"

    # The next version, without properties: the old one goes, the kept ones come back.
    msi_run /i "$(e2e_windows_path "$(msi_file "$MSI_NEXT")")" /qn || return 1
    cli_expect_quiet_exit 0
    cli_expect_log "Command line: *\\VexoSetup.exe\" /quiet /model K20A \"/port=LPT1:\" /nodefault *"
    expect_printer K20A LPT1:
    expect_device "$earlier"
    msi_expect_listed "$MSI_NEXT"

    msi_run /i "$(e2e_windows_path "$(msi_file "$MSI_OLDER")")" /qn || return 1
    cli_expect_quiet_exit 1603
    [ ! -s "$CLI_LOG" ] || e2e_fail "the refused older version ran the program:"$'\n'"$(indent "$(cat "$CLI_LOG")")"
    msi_expect_listed "$MSI_NEXT"
    expect_printer K20A LPT1:

    msi_run /x "$(e2e_windows_path "$(msi_file "$MSI_NEXT")")" /qn || return 1
    cli_expect_quiet_exit 0
    cli_expect_log "Command line: *\\VexoSetup.exe\" /quiet /uninstall /model K20A" \
        'The printer "K20A" was removed. *' "Exit code 0"
    msi_expect_nothing_left
    expect_device "$earlier"
}

# An action that fails (a package without UNIRES.DLL: the program adds the printer and ends
# with 1603, undoing what it changed) fails msiexec; the rollback finds nothing of that run's
# left to undo, and nothing is left behind.
msi_failed_install_rolls_back() {
    local broken=$E2E_RUN_DIR/msi/broken.msi component=c_Printer_Driver_x86_UNIRES.DLL
    local CLI_LOG=$E2E_RUN_DIR/msi-program.log CLI_LOG_NAME="of the program"
    msi_build && msi_remove_leftovers || return 1
    cp "$(msi_file "$MSI_VERSION")" "$broken" &&
        msibuild "$broken" -q "DELETE FROM File WHERE Component_ = '$component'" \
            -q "DELETE FROM FeatureComponents WHERE Component_ = '$component'" \
            -q "DELETE FROM Component WHERE Component = '$component'" || {
        e2e_fail "cannot take UNIRES.DLL out of the MSI"
        return 1
    }
    create_device_key || return 1
    msi_run /i "$(e2e_windows_path "$broken")" /qn PORT=LPT1: || return 1
    # Windows ends a failed action with 1603, Wine with 1627.
    [ "$E2E_APP_CODE" = 1627 ] && E2E_APP_CODE=1603
    cli_expect_quiet_exit 1603
    cli_expect_log "Add the printer \"K20A\" on the port \"LPT1:\": done" \
        'Undo: delete the printer "K20A": done' "Exit code 1603" \
        "Command line: * /quiet /rollback \"$MSI_PROGRAM_FOLDER\\VexoSetup.record\" \"/token=*\""
    cli_expect_no_log_line "* /uninstall *"
    msi_expect_nothing_left
}

# An administrator's first rule: a printer that works stays. The .exe makes K20A on LPT1:;
# then an MSI run whose line the program refuses (PORT and IP together) fails, and its
# rollback undoes nothing but its own run: the printer, its port and its driver stay.
msi_failed_run_keeps_an_earlier_printer() {
    msi_build && msi_remove_leftovers || return 1
    create_device_key || return 1
    cli_run /quiet /model K20A /port LPT1: /nodefault /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 0
    local CLI_LOG=$E2E_RUN_DIR/msi-program.log CLI_LOG_NAME="of the program"
    msi_run /i "$(e2e_windows_path "$(msi_file "$MSI_VERSION")")" /qn PORT=LPT1: IP=10.0.0.20 || return 1
    [ "$E2E_APP_CODE" = 1627 ] && E2E_APP_CODE=1603
    cli_expect_quiet_exit 1603
    cli_expect_log "The command line was refused: '/port=LPT1:' does not go with /ip. Nothing was changed" \
        "Command line: * /quiet /rollback *" "Exit code 0"
    cli_expect_no_log_line "Delete the printer *"
    expect_printer K20A LPT1:
    expect_driver K20A TQ20P.GPD TQ20Ev1.DLL
    msi_expect_listed ""
    cli_run /quiet /uninstall /model K20A || return 1
}

# A network printer as an office deploys it: IP, NAME and LOCATION reach the program as
# switches, NAME is kept for the removal, which takes that printer and keeps the port.
msi_network_printer() {
    local CLI_LOG=$E2E_RUN_DIR/msi-program.log CLI_LOG_NAME="of the program"
    local name="3rd floor K20A"
    msi_build && msi_remove_leftovers || return 1
    cli_install_tcp_monitor && create_device_key || return 1
    msi_run /i "$(e2e_windows_path "$(msi_file "$MSI_VERSION")")" /qn IP=10.0.0.21 "NAME=$name" \
        "LOCATION=3rd floor" || return 1
    cli_expect_quiet_exit 0
    cli_expect_log "Command line: *\\VexoSetup.exe\" /quiet /model K20A \"/ip=10.0.0.21\" \"/name=$name\" \"/location=3rd floor\" *" \
        "Installed: the printer \"$name\" on the port \"IP_10.0.0.21\""
    printer_line "$name" || return 1
    expect "the printer as the spooler lists it" \
        "name=\"$name\" port=\"IP_10.0.0.21\" driver=\"K20A\" processor=\"WinPrint\" datatype=\"RAW\" location=\"3rd floor\"" \
        "$ROBOT_VALUE"

    msi_run /x "$(e2e_windows_path "$(msi_file "$MSI_VERSION")")" /qn || return 1
    cli_expect_quiet_exit 0
    cli_expect_log "Command line: *\\VexoSetup.exe\" /quiet /uninstall /model K20A \"/name=$name\"" \
        "The printer \"$name\" was removed. *"
    msi_expect_nothing_left
    expect_no_printer "$name"
    expect_robot "the spooler's ports" ports || return 1
    [[ " ${ROBOT_LINES[*]} " == *' name="IP_10.0.0.21" '* ]] ||
        e2e_fail "the removal took the port IP_10.0.0.21:"$'\n'"$(robot_lines)"
}

scenarios+=(
    "msi: a network printer from IP, NAME and LOCATION, and its removal by the kept NAME:msi_network_printer"
    "msi: install with PORT and NODEFAULT, upgrade in place, an older version refused, removal:msi_install_upgrade_remove"
    "msi: a failing action ends msiexec non-zero and leaves nothing behind:msi_failed_install_rolls_back"
    "msi: a failed run's rollback keeps a printer the .exe made:msi_failed_run_keeps_an_earlier_printer"
)
