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
        if ! out=$("$E2E_SRC/scripts/msi.sh" --program "$E2E_INSTALLER_EXE" --actions "$E2E_ACTIONS_DLL" \
            --model K20A --version "$v" --out "$E2E_RUN_DIR/msi" "$E2E_PACKAGE" 2>&1); then
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

    msi_run /i "$(e2e_windows_path "$(msi_file "$MSI_VERSION")")" /qn PORT=LPT1: || return 1
    cli_expect_quiet_exit 0
    cli_expect_log "Command line: \"$MSI_PROGRAM_FOLDER\\VexoSetup.exe\" /quiet /model K20A /nodefault /port=LPT1: /log=C:\\windows\\Temp\\VexoSetup-MSI-K20A-*.log \"/record=$MSI_PROGRAM_FOLDER\\VexoSetup.record\" /token=*" \
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
    cli_expect_log "Command line: *\\VexoSetup.exe\" /quiet /model K20A /nodefault /port=LPT1: *"
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
    cli_expect_log "Command line: *\\VexoSetup.exe\" /quiet /uninstall /model K20A *" \
        'The printer "K20A" was removed. *' "Exit code 0"
    msi_expect_nothing_left
    expect_device "$earlier"
}

# The model's MSI without UNIRES.DLL: the program adds the printer and ends with 1603.
msi_broken() {
    local component=c_Printer_Driver_x86_UNIRES.DLL
    MSI_BROKEN=$E2E_RUN_DIR/msi/broken.msi
    [ -f "$MSI_BROKEN" ] && return 0
    cp "$(msi_file "$MSI_VERSION")" "$MSI_BROKEN" &&
        msibuild "$MSI_BROKEN" -q "DELETE FROM File WHERE Component_ = '$component'" \
            -q "DELETE FROM FeatureComponents WHERE Component_ = '$component'" \
            -q "DELETE FROM Component WHERE Component = '$component'" || {
        e2e_fail "cannot take UNIRES.DLL out of the MSI"
        rm -f "$MSI_BROKEN"
        return 1
    }
}

# An action that fails fails msiexec: the program undoes what it changed, the rollback finds
# nothing of that run's left to undo, and nothing is left behind.
msi_failed_install_rolls_back() {
    local CLI_LOG=$E2E_RUN_DIR/msi-program.log CLI_LOG_NAME="of the program"
    msi_build && msi_remove_leftovers && msi_broken || return 1
    create_device_key || return 1
    msi_run /i "$(e2e_windows_path "$MSI_BROKEN")" /qn PORT=LPT1: || return 1
    # Windows ends a failed action with 1603, Wine with 1627.
    [ "$E2E_APP_CODE" = 1627 ] && E2E_APP_CODE=1603
    cli_expect_quiet_exit 1603
    cli_expect_log "Add the printer \"K20A\" on the port \"LPT1:\": done" \
        'Undo: delete the printer "K20A": done' "Exit code 1603" \
        "Command line: VexoActions.dll /quiet /rollback \"$MSI_PROGRAM_FOLDER\\VexoSetup.record\" /token *"
    cli_expect_no_log_line "* /uninstall *"
    msi_expect_nothing_left
}

# An administrator's first rule: a printer that works stays. The .exe makes K20A on LPT1:.
# An MSI run whose properties the program refuses (PORT and IP together) fails before
# anything changes; one that fails after it moved the printer (the package without
# UNIRES.DLL, PORT=LPT2:) puts it back, and its rollback undoes nothing of the .exe's: the
# printer stays on its port with its driver.
msi_failed_run_keeps_an_earlier_printer() {
    local msiexec_log
    msi_build && msi_remove_leftovers && msi_broken || return 1
    create_device_key || return 1
    cli_run /quiet /model K20A /port LPT1: /nodefault /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 0
    local CLI_LOG=$E2E_RUN_DIR/msi-program.log CLI_LOG_NAME="of the program"
    msi_run /i "$(e2e_windows_path "$(msi_file "$MSI_VERSION")")" /qn PORT=LPT1: IP=10.0.0.20 || return 1
    [ "$E2E_APP_CODE" = 1627 ] && E2E_APP_CODE=1603
    cli_expect_quiet_exit 1603
    [ ! -s "$CLI_LOG" ] || e2e_fail "refused properties ran the program:"$'\n'"$(indent "$(cat "$CLI_LOG")")"
    msiexec_log=$E2E_RUN_DIR/msiexec-$MSI_RUN_COUNT.log
    grep -aq "VexoSetup refuses the properties: '/port=LPT1:' does not go with /ip. Nothing was changed." "$msiexec_log" ||
        e2e_fail "msiexec's log does not say why the properties were refused"
    expect_printer K20A LPT1:

    msi_run /i "$(e2e_windows_path "$MSI_BROKEN")" /qn PORT=LPT2: || return 1
    [ "$E2E_APP_CODE" = 1627 ] && E2E_APP_CODE=1603
    cli_expect_quiet_exit 1603
    cli_expect_log "Add the printer \"K20A\" on the port \"LPT2:\": the printer exists already, on the port \"LPT1:\": its port was set to \"LPT2:\"; it keeps its other settings" \
        "Undo: set the printer \"K20A\" back to the port \"LPT1:\", *: done" \
        "The printer driver \"K20A\" was registered before this run and stays registered, *" \
        "Exit code 1603" "Command line: VexoActions.dll /quiet /rollback *"
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
    cli_expect_log "Command line: *\\VexoSetup.exe\" /quiet /model K20A /nodefault /ip=10.0.0.21 \"/location=3rd floor\" \"/name=$name\" *" \
        "Installed: the printer \"$name\" on the port \"IP_10.0.0.21\""
    printer_line "$name" || return 1
    expect "the printer as the spooler lists it" \
        "name=\"$name\" port=\"IP_10.0.0.21\" driver=\"K20A\" processor=\"WinPrint\" datatype=\"RAW\" location=\"3rd floor\"" \
        "$ROBOT_VALUE"

    msi_run /x "$(e2e_windows_path "$(msi_file "$MSI_VERSION")")" /qn || return 1
    cli_expect_quiet_exit 0
    cli_expect_log "Command line: *\\VexoSetup.exe\" /quiet /uninstall /model K20A \"/name=$name\" *" \
        "The printer \"$name\" was removed. *"
    msi_expect_nothing_left
    expect_no_printer "$name"
    expect_robot "the spooler's ports" ports || return 1
    [[ " ${ROBOT_LINES[*]} " == *' name="IP_10.0.0.21" '* ]] ||
        e2e_fail "the removal took the port IP_10.0.0.21:"$'\n'"$(robot_lines)"
}

# A copy of the model's MSI with properties set in its Property table, as a transform sets
# them (Wine's msiexec reads no quote in a command-line value), under a package code of its
# own. msi_with FILE NAME=VALUE...
msi_with() {
    local file=$1 p dir
    shift
    dir=$(dirname "$file")
    cp "$(msi_file "$MSI_VERSION")" "$file" || return 1
    for p in "$@"; do
        msibuild "$file" -q "INSERT INTO Property (Property, Value) VALUES ('${p%%=*}', '${p#*=}')" || return 1
    done
    msiinfo export "$file" _SummaryInformation |
        sed "s|^9\t.*|9\t{5A0C2F1E-7D3B-4C69-9E21-3F0B6D4A8C17}\r|" >"$dir/_SummaryInformation.idt" &&
        (cd "$dir" && msibuild "$file" -i _SummaryInformation.idt)
}

# Values reach the program byte for byte: a location holding quotes and a comment ending in a
# backslash, which Windows Installer's formatting would have broken; LOG names the program's
# log. A re-run that gives IP over the kept PORT moves the printer to the network port (the
# connection is one setting), and the removal takes everything.
msi_values_arrive_intact() {
    local quoted=$E2E_RUN_DIR/msi/quoted.msi log_file=$E2E_PREFIX/drive_c/vexo-msi.log
    local CLI_LOG=$E2E_RUN_DIR/msi-program.log CLI_LOG_NAME="of the program"
    msi_build && msi_remove_leftovers || return 1
    cli_install_tcp_monitor && create_device_key || return 1
    msi_with "$quoted" 'LOCATION=Room "7"' 'COMMENT=by the lift\' || {
        e2e_fail "cannot set the properties in a copy of the MSI"
        return 1
    }
    rm -f "$log_file"
    msi_run /i "$(e2e_windows_path "$quoted")" /qn PORT=LPT1: 'LOG=C:\vexo-msi.log' || return 1
    cli_expect_quiet_exit 0
    [ -f "$log_file" ] && grep -aq 'Installed: the printer "K20A" on the port "LPT1:"' "$log_file" ||
        e2e_fail "the program's log is not where LOG named it: $(cat "$log_file" 2>&1)"
    cp "$log_file" "$E2E_ARTIFACTS/msi-log-property.log" 2>/dev/null
    printer_line K20A || return 1
    # shellcheck disable=SC2016 # the robot's own escapes
    [[ $ROBOT_VALUE == *'location="Room \"7\""'* && $ROBOT_VALUE == *'comment="by the lift\\"'* ]] ||
        e2e_fail "the printer's location and comment as the spooler lists them: $ROBOT_VALUE"

    msi_run /i "$(e2e_windows_path "$quoted")" /qn IP=10.0.0.23 || return 1
    cli_expect_quiet_exit 0
    cli_expect_log "Command line: *\\VexoSetup.exe\" /quiet /model K20A /nodefault \"/comment=by the lift* /ip=10.0.0.23 \"/location=Room *" \
        'Add the printer "K20A" on the port "IP_10.0.0.23": the printer exists already, on the port "LPT1:": its port was set to "IP_10.0.0.23"; it keeps its other settings'
    printer_line K20A || return 1
    [[ $ROBOT_VALUE == 'name="K20A" port="IP_10.0.0.23" '* ]] || e2e_fail "the re-run's printer: $ROBOT_VALUE"

    msi_run /x "$(e2e_windows_path "$quoted")" /qn || return 1
    cli_expect_quiet_exit 0
    msi_expect_nothing_left
}

# A driver-only release: the same program and version with one driver file changed is another
# product, which upgrades the first; one product stays listed, the printer on its kept port.
msi_driver_only_release_upgrades() {
    local changed=$E2E_RUN_DIR/package-changed out=$E2E_RUN_DIR/msi-changed first second
    local CLI_LOG=$E2E_RUN_DIR/msi-program.log CLI_LOG_NAME="of the program"
    msi_build && msi_remove_leftovers || return 1
    create_device_key || return 1
    rm -rf "$changed" "$out"
    cp -r "$E2E_PACKAGE" "$changed" && printf '\n* a changed printer description\n' >>"$changed/Printer Driver/x86/TQ20P.GPD" &&
        "$E2E_SRC/scripts/msi.sh" --program "$E2E_INSTALLER_EXE" --actions "$E2E_ACTIONS_DLL" --model K20A \
            --out "$out" "$changed" >/dev/null 2>&1 || {
        e2e_fail "cannot build the MSI of the changed package"
        return 1
    }
    first=$(msi_product_code "$(msi_file "$MSI_VERSION")")
    second=$(msi_product_code "$out/VexoPrinter-K20A-$MSI_VERSION.msi")
    [ "$first" != "$second" ] || e2e_fail "a changed driver file kept the product code $first"
    msi_run /i "$(e2e_windows_path "$(msi_file "$MSI_VERSION")")" /qn PORT=LPT1: || return 1
    cli_expect_quiet_exit 0
    msi_run /i "$(e2e_windows_path "$out/VexoPrinter-K20A-$MSI_VERSION.msi")" /qn || return 1
    cli_expect_quiet_exit 0
    robot regget "$MSI_UNINSTALL\\$first" DisplayName && e2e_fail "the first build is still listed"
    robot regget "$MSI_UNINSTALL\\$second" DisplayName || e2e_fail "the second build is not listed"
    expect_printer K20A LPT1:
    cmp -s "$changed/Printer Driver/x86/TQ20P.GPD" "$MSI_FOLDER/Printer Setup/K20A/Printer Driver/x86/TQ20P.GPD" ||
        e2e_fail "the upgrade did not install the changed driver file"
    msi_run /x "$(e2e_windows_path "$out/VexoPrinter-K20A-$MSI_VERSION.msi")" /qn || return 1
    cli_expect_quiet_exit 0
    msi_expect_nothing_left
    rm -rf "$changed"
}

scenarios+=(
    "msi: a network printer from IP, NAME and LOCATION, and its removal by the kept NAME:msi_network_printer"
    "msi: install with PORT and NODEFAULT, upgrade in place, an older version refused, removal:msi_install_upgrade_remove"
    "msi: a failing action ends msiexec non-zero and leaves nothing behind:msi_failed_install_rolls_back"
    "msi: a failed run's rollback keeps a printer the .exe made:msi_failed_run_keeps_an_earlier_printer"
    "msi: a quote and a trailing backslash arrive intact, LOG names the log, a re-run changes the connection:msi_values_arrive_intact"
    "msi: a second build of one version with a changed driver file upgrades the first:msi_driver_only_release_upgrades"
)
