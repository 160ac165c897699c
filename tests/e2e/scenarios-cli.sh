# shellcheck shell=bash
# End-to-end scenarios of the unattended command line: quiet installs and removals, refused
# lines, a package that lacks a file, and the installation mutex held by another process.
# Sourced by tests/e2e/run.sh after scenarios-install.sh, whose helpers (expect_printer,
# expect_driver, model_files...) these use. Every run is started by the robot, which watches
# it from its first instruction: a quiet run must end with its exit code and show no window
# at all. The runs write their log into the prefix (C:\vexo-e2e.log), which a failed check
# prints; every run's exit code and log go to cli-runs.log among the target's artifacts.

CLI_LOG_NAME='C:\vexo-e2e.log'
CLI_LOG=$E2E_PREFIX/drive_c/vexo-e2e.log
CLI_MUTEX='Global\VexoSetupInstall'
# As another run of the installer makes it: only Administrators and SYSTEM may open it.
CLI_MUTEX_SDDL='O:BAD:P(A;;GA;;;BA)(A;;GA;;;SY)'
# How long one run may take; the runs take a second or two.
CLI_SECONDS=120
CLI_MODELS='K20A, K20AW, K30A, K30AN, K30AL, M41, M42, M43'
CLI_RUNS=$E2E_ARTIFACTS/cli-runs.log
mkdir -p "$E2E_ARTIFACTS" && : >"$CLI_RUNS"

# What the header of the log says of the program and of Windows on this target.
case $E2E_TARGET in
x64) CLI_PROGRAM_BITS=64 CLI_WINDOWS_BITS="64-bit" ;;
x86) CLI_PROGRAM_BITS=32 CLI_WINDOWS_BITS="32-bit" ;;
wow64) CLI_PROGRAM_BITS=32 CLI_WINDOWS_BITS="64-bit (this program runs under WoW64)" ;;
esac

# ---------------------------------------------------------------------------------------
# Running the installer and reading its log

CLI_ARGS=
CLI_LOG_SHOWN=0

# cli_run_in DIR ARGS...: runs the installer from the folder DIR with the arguments, the log
# left as it is (a run appends to it).
cli_run_in() {
    local dir=$1
    shift
    CLI_ARGS="$*"
    CLI_LOG_SHOWN=0
    if ! e2e_run_installer "$CLI_SECONDS" "$dir" "$@"; then
        e2e_fail_robot "the run \"$CLI_ARGS\""
        cli_show_log
        return 1
    fi
    # Every run's exit code and log, kept with the target's artifacts.
    {
        printf '== VexoSetup.exe %s: exit code %s\n' "$CLI_ARGS" "$E2E_APP_CODE"
        [ -f "$CLI_LOG" ] && tr -d '\r' <"$CLI_LOG"
        echo
    } >>"$CLI_RUNS"
}

# cli_run ARGS...: from the sample package, with a fresh log.
cli_run() {
    rm -f "$CLI_LOG"
    cli_run_in "$E2E_PACKAGE" "$@"
}

# Adds the log to the scenario's report, once per run.
cli_show_log() {
    [ "$CLI_LOG_SHOWN" = 1 ] && return 0
    CLI_LOG_SHOWN=1
    if [ -f "$CLI_LOG" ]; then
        e2e_fail "the log $CLI_LOG_NAME after \"$CLI_ARGS\":"$'\n'"$(indent "$(tr -d '\r' <"$CLI_LOG")")"
    else
        e2e_fail "there is no log $CLI_LOG_NAME after \"$CLI_ARGS\""
    fi
}

# The run ended with the exit code, showed no window and no other process opened one.
cli_expect_quiet_exit() {
    local code=$1 ok=0
    expect "the exit code of \"$CLI_ARGS\"" "$code" "$E2E_APP_CODE" || ok=1
    if [ -n "$E2E_APP_SEEN" ]; then
        e2e_fail "the quiet run \"$CLI_ARGS\" showed windows:"$'\n'"$(indent "$E2E_APP_SEEN")"
        ok=1
    fi
    if [ -n "$E2E_OTHER_WINDOWS" ]; then
        e2e_fail "another process opened a window during \"$CLI_ARGS\": $E2E_OTHER_WINDOWS"
        ok=1
    fi
    [ "$ok" = 0 ] || cli_show_log
    return "$ok"
}

# The texts of the log's lines (without their time), one a line.
cli_log_texts() {
    sed -e 's/\r$//' -e 's/^[^ ]* [^ ]*  //' "$CLI_LOG"
}

# cli_expect_log PATTERN...: each pattern (a glob; its backslashes are the text's own)
# matches a whole line of the log.
cli_expect_log() {
    local pattern glob l found texts=() ok=0
    if [ ! -f "$CLI_LOG" ]; then
        cli_show_log
        return 1
    fi
    mapfile -t texts < <(cli_log_texts)
    for pattern in "$@"; do
        glob=${pattern//\\/\\\\}
        found=0
        for l in "${texts[@]}"; do
            # shellcheck disable=SC2053 # the pattern is a glob
            [[ $l == $glob ]] && found=1 && break
        done
        if [ "$found" = 0 ]; then
            e2e_fail "the log has no line \"$pattern\""
            ok=1
        fi
    done
    [ "$ok" = 0 ] || cli_show_log
    return "$ok"
}

# No line of the log matches the pattern.
cli_expect_no_log_line() {
    local glob=${1//\\/\\\\} l
    while IFS= read -r l; do
        # shellcheck disable=SC2053 # the pattern is a glob
        if [[ $l == $glob ]]; then
            e2e_fail "the log has the line \"$l\""
            cli_show_log
            return 1
        fi
    done < <(cli_log_texts)
}

# Every line of the log FILE is "<local time>  <text>" ended by CR LF, in UTF-8.
cli_expect_log_format() {
    local file=${1:-$CLI_LOG} bad
    bad=$(grep -a -n -v -E $'^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}  [^ ].*\r$' "$file" | head -n 3)
    [ -z "$bad" ] || e2e_fail "lines of the log that are not \"<time>  <text>\" with CR LF: $bad"
    iconv -f UTF-8 -t UTF-8 "$file" >/dev/null 2>&1 || e2e_fail "the log is not UTF-8"
    [ -z "$bad" ] || cli_show_log
}

# The run's header: its command line, the program, Windows and the account.
cli_expect_header() {
    cli_expect_log "Command line: *VexoSetup.exe* $CLI_ARGS" \
        "VexoSetup version *, a $CLI_PROGRAM_BITS-bit program" \
        "Windows * build *, $CLI_WINDOWS_BITS" \
        "Account: ?*"
    cli_expect_log_format
}

# ---------------------------------------------------------------------------------------
# The machine's state that a run may change

# The printers, the drivers (of both environments under WoW64), the port values, the
# default printer and the files of the driver directory, as one text.
cli_machine_state() {
    local env environments=("$E2E_ENVIRONMENT") name
    [ "$E2E_TARGET" = wow64 ] && environments+=("Windows NT x86")
    robot printers || return 1
    printf 'printer %s\n' "${ROBOT_LINES[@]}"
    for env in "${environments[@]}"; do
        robot drivers "$env" || return 1
        printf 'driver %s\n' "${ROBOT_LINES[@]}"
    done
    e2e_value_names "$E2E_PORTS_KEY" || return 1
    for name in "${E2E_NAMES[@]}"; do
        robot regget "$E2E_PORTS_KEY" "$name" || return 1
        printf 'port %s=%s\n' "$name" "$ROBOT_VALUE"
    done
    if robot regget "$DEVICE_KEY" Device; then
        printf 'default printer %s\n' "$ROBOT_VALUE"
    else
        echo "no default printer"
    fi
    find "$(e2e_driver_dir)" -maxdepth 1 -type f -printf 'driver file %f\n' 2>/dev/null | sort
}

CLI_STATE_BEFORE=
cli_remember_state() {
    CLI_STATE_BEFORE=$(cli_machine_state) || {
        e2e_fail_robot "the machine's state"
        return 1
    }
}

cli_expect_state_unchanged() {
    local now
    now=$(cli_machine_state) || {
        e2e_fail_robot "the machine's state"
        return 1
    }
    if [ "$now" != "$CLI_STATE_BEFORE" ]; then
        e2e_fail "\"$CLI_ARGS\" changed the machine: before"$'\n'"$(indent "$CLI_STATE_BEFORE")"$'\n'"  after"$'\n'"$(indent "$now")"
        return 1
    fi
}

# Under WoW64 Wine refuses the printer with 1797 (its AddPrinter looks for the driver in the
# 32-bit process's own environment, where it was not registered): the run fails, says so in
# its log, and leaves the default printer alone. STEPS is the number of failed steps.
cli_expect_wow64_refusal() {
    local model=$1 port=$2 steps=$3 default=${4:-}
    cli_expect_quiet_exit 1603
    cli_expect_log "Add the printer \"$model\" on the port \"$port\": * (error 1797)" \
        "The installation did not complete: $steps step$([ "$steps" = 1 ] || echo s) failed" \
        "Exit code 1603"
    cli_expect_no_log_line "Installed: *"
    # What the run changed is undone: the driver, its files, its values.
    cli_expect_log "The installation failed: what it changed is undone, newest first" \
        "Undo: delete the printer driver \"$model\" for \"Windows x64\", version 3: done*" \
        "Everything the run changed was undone"
    expect_no_printer "$model"
    expect_no_driver "$model" "Windows NT x86"
    expect_no_driver "$model" "Windows x64"
    expect_driver_files
    if [ -n "$default" ]; then
        expect_device "$default"
    else
        robot regget "$DEVICE_KEY" Device && e2e_fail "Device was written: \"$ROBOT_VALUE\""
    fi
    return 0
}

# ---------------------------------------------------------------------------------------
# Installs

# A named port, given as the user may type it: the spooler's own spelling is taken.
cli_install_named_port() {
    local files
    create_device_key || return 1
    cli_run /quiet /model K20A /port lpt1 /log "$CLI_LOG_NAME" || return 1
    cli_expect_header
    cli_expect_log 'The port "LPT1:" was named' \
        'Checked the driver package "*": only administrators and this account can change it' \
        "Copy \"Printer Driver\\$E2E_PACKAGE_ARCH\\UNIRES.DLL\" to \"C:\\windows\\system32\\spool\\drivers\\$(driver_subdir_glob)\\UNIRES.DLL\": done" \
        'Register the printer driver "K20A": done'
    cli_expect_no_log_line "Port discovery *"
    if [ "$E2E_TARGET" = wow64 ]; then
        cli_expect_wow64_refusal K20A LPT1: 2
        cli_expect_log 'The default printer was left as it was, since the printer "K20A" was not added'
        return 0
    fi
    cli_expect_quiet_exit 0
    cli_expect_log 'Make "K20A" the default printer: done' \
        'Installed: the printer "K20A" on the port "LPT1:"' \
        "Exit code 0"
    expect_k20a_installed LPT1:
    mapfile -t files < <(model_files TQ20Ev1.DLL TQ20P.GPD)
    expect_driver_files "${files[@]}"
}

# The automatic choice on Windows 10: discovery takes USB001, the read-back finds the
# printer off line (nothing in Wine ever sets PrinterOnLine), and the quiet run goes on as
# Cancel does, on the port that discovery chose.
cli_install_automatic_port() {
    e2e_set_windows_version win10 || return 1
    add_port_value USB001 || return 1
    create_device_key || return 1
    cli_run /quiet /model K20A /log "$CLI_LOG_NAME" || return 1
    cli_expect_header
    cli_expect_log 'Port discovery found USB ports: USB001; serial: *; parallel: *; TCP/IP: none. The automatic choice takes "USB001", the first port of the USB group' \
        'Bound the printer to the USB port "USB001": the printer is not on line there' \
        'No USB port brought the printer on line. Nobody is at the screen to answer "Fail to select port", so the installation goes on as after Cancel: the printer stays on the port discovery chose'
    if [ "$E2E_TARGET" = wow64 ]; then
        cli_expect_wow64_refusal K20A USB001 2
        return 0
    fi
    cli_expect_quiet_exit 0
    cli_expect_log 'Installed: the printer "K20A" on the port "USB001"' "Exit code 0"
    expect_k20a_installed USB001
}

# A package without UNIRES.DLL: the run fails with 1603, its log names the file, and what it
# changed is undone, newest first: no printer, no driver, no file it copied, the default
# printer as it was. The same package with /ip: the port it created goes too, through the
# monitor's "DeletePort".
cli_install_missing_package_file() {
    local package=$E2E_RUN_DIR/package-without-unires
    local deleted='DeletePort object="*" access=1 size=236 psztPortName="IP_10.0.0.22" dwVersion=1'
    rm -rf "$package"
    cp -r "$E2E_PACKAGE" "$package"
    rm "$package/Printer Driver/$E2E_PACKAGE_ARCH/UNIRES.DLL"
    create_device_key || return 1
    rm -f "$CLI_LOG"
    cli_run_in "$package" /quiet /model K20A /port LPT1: /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 1603
    cli_expect_log "Copy \"Printer Driver\\$E2E_PACKAGE_ARCH\\UNIRES.DLL\" to \"C:\\windows\\system32\\spool\\drivers\\$(driver_subdir_glob)\\UNIRES.DLL\": * (error 2)" \
        "The installation failed: what it changed is undone, newest first" \
        "Undo: delete the printer driver \"K20A\" for \"$E2E_ENVIRONMENT\", version 3: done*" \
        "Everything the run changed was undone" "Exit code 1603"
    [ "$E2E_TARGET" = wow64 ] || cli_expect_log 'Undo: delete the printer "K20A": done'
    expect_no_printer K20A
    expect_no_driver K20A "$E2E_ENVIRONMENT"
    expect_driver_files
    robot regget "$DEVICE_KEY" Device && e2e_fail "the undone run left the default printer: $ROBOT_VALUE"

    cli_install_tcp_monitor || return 1
    rm -f "$CLI_TCPMON_RECORD"
    cli_run_in "$package" /quiet /model K20A /ip 10.0.0.22 /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 1603
    cli_expect_log 'Create the Standard TCP/IP port "IP_10.0.0.22": done' \
        'Undo: delete the port "IP_10.0.0.22": done' "Everything the run changed was undone"
    cp "$CLI_TCPMON_RECORD" "$E2E_ARTIFACTS/tcpmon-record-undone.log" 2>/dev/null
    # shellcheck disable=SC2053 # the pattern is a glob
    [[ $(tr -d '\r' <"$CLI_TCPMON_RECORD" 2>/dev/null | tail -1) == $deleted ]] ||
        e2e_fail "the monitor's record of the deletion: $(cat "$CLI_TCPMON_RECORD" 2>&1)"
    expect_robot "the spooler's ports" ports || return 1
    [[ " ${ROBOT_LINES[*]} " != *'IP_10.0.0.22'* ]] ||
        e2e_fail "the undone run left its port:"$'\n'"$(robot_lines)"
    expect_no_printer K20A
    expect_no_driver K20A "$E2E_ENVIRONMENT"
    expect_driver_files
    rm -rf "$package"
}

# Wine reports itself elevated and reads a host file's security from its mode and owner:
# write for others is Everyone's write, and a file of another Unix user belongs to ANONYMOUS
# LOGON. Either way the run refuses the package, 1603, and changes nothing.
cli_install_package_others_can_change() {
    local package=$E2E_RUN_DIR/package-others-can-change
    local file="Printer Driver/$E2E_PACKAGE_ARCH/uniDRV.DLL" not_safe="The driver package is not safe to install"
    local what_to_do="the spooler loads the driver's files with the system's rights. Copy the package to a folder only administrators can write, and run the installer from there. Nothing was changed"
    rm -rf "$package"
    cp -r "$E2E_PACKAGE" "$package"
    chmod o+w "$package/$file"
    create_device_key || return 1
    cli_remember_state || return 1
    rm -f "$CLI_LOG"
    cli_run_in "$package" /quiet /model K20A /port LPT1: /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 1603
    cli_expect_log "$not_safe: Everyone may write \"*\\${file//\//\\}\", and $what_to_do" "Exit code 1603"
    cli_expect_state_unchanged
    if [ "$(id -u)" = 0 ]; then
        chmod o-w "$package/$file"
        chown nobody "$package/Printer Driver"
        rm -f "$CLI_LOG"
        cli_run_in "$package" /quiet /model K20A /port LPT1: /log "$CLI_LOG_NAME" || return 1
        cli_expect_quiet_exit 1603
        cli_expect_log "$not_safe: \"*\\Printer Driver\" belongs to *ANONYMOUS LOGON, who may change it, and $what_to_do"
        cli_expect_state_unchanged
    fi
    rm -rf "$package"
}

# ---------------------------------------------------------------------------------------
# A printer on the network

CLI_TCPMON_RECORD=$E2E_PREFIX/drive_c/vexo-e2e-tcpmon.log
CLI_NETWORK_ARGS=(/quiet /model K20A /ip 10.0.0.20 /snmp e2e-community /name "2nd floor K20A"
    /location "2nd floor" /comment "by the lift" /log "$CLI_LOG_NAME")
CLI_NETWORK_PRINTER='name="2nd floor K20A" port="IP_10.0.0.20" driver="K20A" processor="WinPrint" datatype="RAW" location="2nd floor" comment="by the lift"'

# Wine has no Standard TCP/IP Port monitor: the stand-in goes into the system folder of the
# program's architecture and is registered as that monitor.
cli_install_tcp_monitor() {
    local dir=system32
    [ "$E2E_TARGET" = wow64 ] && dir=syswow64
    cp "$E2E_TCPMON_DLL" "$E2E_PREFIX/drive_c/windows/$dir/vexotcpmon.dll" || return 1
    expect_robot "register the stand-in monitor" regset "$E2E_TCPMON_KEY" Driver sz vexotcpmon.dll
}

# The run made the printer on the port, or under WoW64 Wine refused the printer (1797).
cli_expect_network_printer() {
    if [ "$E2E_TARGET" = wow64 ]; then
        cli_expect_quiet_exit 1603
        cli_expect_log 'Add the printer "2nd floor K20A" on the port "IP_10.0.0.20": * (error 1797)'
        return 0
    fi
    cli_expect_quiet_exit 0
    cli_expect_log 'Installed: the printer "2nd floor K20A" on the port "IP_10.0.0.20"'
    printer_line "2nd floor K20A" || return 1
    expect "the printer as the spooler lists it" "$CLI_NETWORK_PRINTER" "$ROBOT_VALUE"
}

# /ip creates the port through the monitor: the structure it receives is the one the monitor
# documents, field by field; the spooler lists the port as a Standard TCP/IP port, discovery
# takes it for one, a second run takes it as it is, one with other settings leaves it alone,
# and the removal keeps it.
cli_network_printer() {
    local sent='AddPort object="*" access=1 size=964 sztPortName="IP_10.0.0.20" sztHostAddress="10.0.0.20" sztSNMPCommunity="e2e-community" sztQueue="" sztIPAddress="" dwVersion=1 dwProtocol=1 cbSize=964 dwReserved=0 dwDoubleSpool=0 dwPortNumber=9100 dwSNMPEnabled=1 dwSNMPDevIndex=1'
    local created='Create the Standard TCP/IP port "IP_10.0.0.20"'
    cli_install_tcp_monitor || return 1
    create_device_key || return 1
    rm -f "$CLI_TCPMON_RECORD"
    cli_run "${CLI_NETWORK_ARGS[@]}" || return 1
    cli_expect_network_printer
    cli_expect_log "Command line: *VexoSetup.exe* /quiet /model K20A /ip 10.0.0.20 /snmp *** /name \"2nd floor K20A\" *" \
        "$created: done"
    cli_expect_no_log_line "*e2e-community*"
    cp "$CLI_TCPMON_RECORD" "$E2E_ARTIFACTS/tcpmon-record.log" 2>/dev/null
    # shellcheck disable=SC2053 # the pattern is a glob
    [[ $(tr -d '\r' <"$CLI_TCPMON_RECORD" 2>/dev/null | head -1) == $sent ]] ||
        e2e_fail "the monitor's record of the structure: $(cat "$CLI_TCPMON_RECORD" 2>&1)"
    if [ "$E2E_TARGET" = wow64 ]; then
        # The printer refused, the run undid the port it had made.
        cli_expect_log 'Undo: delete the port "IP_10.0.0.20": done'
        expect_robot "the spooler's ports" ports || return 1
        [[ " ${ROBOT_LINES[*]} " != *'IP_10.0.0.20'* ]] || e2e_fail "the undone run left its port"
        return 0
    fi
    expect_robot "the spooler's ports" ports || return 1
    [[ " ${ROBOT_LINES[*]} " == *' name="IP_10.0.0.20" monitor="Standard TCP/IP Port" description="Standard TCP/IP Port" '* ]] ||
        e2e_fail "the spooler lists no Standard TCP/IP port IP_10.0.0.20:"$'\n'"$(robot_lines)"

    cli_run_in "$E2E_PACKAGE" "${CLI_NETWORK_ARGS[@]}" || return 1
    cli_expect_network_printer
    cli_expect_log "$created: it exists already with these settings, and is used as it is"
    cli_run /quiet /model K20A /ip 10.0.0.20 /nodefault /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 1603
    cli_expect_log "$created: a port of that name exists already, with another SNMP; other printers may use it, so it was left as it is and nothing was installed"

    cli_run /quiet /model K30A /nodefault /log "$CLI_LOG_NAME" || return 1
    cli_expect_log 'Port discovery found USB ports: none; serial: *; parallel: LPT1:, LPT2:, LPT3:; TCP/IP: IP_10.0.0.20. *'

    cli_run /quiet /uninstall /model K20A /name "2nd floor K20A" /log "$CLI_LOG_NAME" || return 1
    expect_no_printer "2nd floor K20A"
    expect_robot "the spooler's ports" ports || return 1
    [[ " ${ROBOT_LINES[*]} " == *' name="IP_10.0.0.20" '* ]] || e2e_fail "the removal took the port away"
}

# ---------------------------------------------------------------------------------------
# Printing defaults for every user

CLI_CONFIG_RECORD=$E2E_PREFIX/drive_c/vexo-e2e-configmodule.log
CLI_DEFAULTS='Set the printing defaults of "K20A" for every user'

# cli_run_defaults PACKAGE ARGS...: K20A on LPT1: from PACKAGE with the arguments, a fresh log.
cli_run_defaults() {
    local package=$1
    shift
    rm -f "$CLI_LOG"
    cli_run_in "$package" /quiet /model K20A /port LPT1: "$@" /log "$CLI_LOG_NAME"
}

# Wine's DocumentProperties and DeviceCapabilities load the printer's configuration module,
# a placeholder in the sample package: a copy of it has the stand-in as its uniDRVui.DLL.
# The defaults reach the spooler for every user through the driver; a paper the driver does
# not offer is refused with what it offers; a run whose later step fails (the default printer,
# without the key a fresh prefix lacks) puts them back.
cli_printing_defaults() {
    local package=$E2E_RUN_DIR/package-with-config-module
    local stored='device="K20A" form="A4" fields=0x11903 paper=9 orientation=1 duplex=2 color=1 size=220 private="VEXO stand-in"'
    # What the driver was given to merge: the fields asked with their bits, no form name's.
    local merged='DrvDocumentPropertySheets hPrinter=yes fMode=10 cbOut=236 in=yes fields=0x1903 paper=9 orientation=1 duplex=2 color=1'
    if [ "$E2E_TARGET" = wow64 ]; then
        # shellcheck disable=SC2034 # read by scenario
        E2E_SKIP_REASON="under WoW64 Wine refuses the printer itself (1797): no device mode to set"
        return 77
    fi
    rm -rf "$package" && cp -r "$E2E_PACKAGE" "$package" &&
        cp "$E2E_CONFIG_DLL" "$package/Printer Driver/$E2E_PACKAGE_ARCH/uniDRVui.DLL" || return 1
    create_device_key || return 1
    cli_run_defaults "$package" /paper A4 /duplex long /color mono || return 1
    cli_expect_quiet_exit 0
    cli_expect_log "$CLI_DEFAULTS: done; the spooler now has paper A4 (9), orientation portrait, duplex long, color mono"
    expect_robot "the device mode for every user" devmode K20A &&
        expect "the device mode for every user (GetPrinter level 8)" "$stored" "$ROBOT_VALUE"
    grep -qxF "$merged" <(tr -d '\r' <"$CLI_CONFIG_RECORD") ||
        e2e_fail "the driver was not given \"$merged\":"$'\n'"$(indent "$(cat "$CLI_CONFIG_RECORD" 2>&1)")"

    cli_run_defaults "$package" /paper A2 || return 1
    cli_expect_quiet_exit 1603
    cli_expect_log "$CLI_DEFAULTS: the driver does not offer paper A2 (66); it offers paper Letter (1), Legal (5), A3 (8), A4 (9), A5 (11), B5 (JIS) (13); nothing was changed"
    expect_robot "the device mode after A2" devmode K20A && expect "the device mode after A2" "$stored" "$ROBOT_VALUE"

    expect_robot "delete the default printer's key" regdel "$DEVICE_KEY" || return 1
    cli_run_defaults "$package" /paper Letter /orientation landscape /color color || return 1
    cli_expect_quiet_exit 1603
    cli_expect_log "$CLI_DEFAULTS: done; the spooler now has paper Letter (1), orientation landscape, duplex long, color color" \
        'Make "K20A" the default printer: open the key * (error 2)' \
        'Undo: put back the printing defaults of "K20A" for every user: done'
    expect_robot "the device mode undone" devmode K20A && expect "the device mode undone" "$stored" "$ROBOT_VALUE"
    cp "$CLI_CONFIG_RECORD" "$E2E_ARTIFACTS/configmodule-record.log" 2>/dev/null
    rm -rf "$package"
}

# ---------------------------------------------------------------------------------------
# Removals

# An install without the default printer, then its removal, both into one log: the printer
# (read back: on this model's driver) and the driver (its data file this model's, the version
# Wine reports, 3) go; Wine refuses to delete the driver's files (DeletePrinterDriverEx with
# DPD_DELETE_UNUSED_FILES and DPD_DELETE_SPECIFIC_VERSION fails with 87), so they stay and the
# log says so. A model that is not installed: nothing to remove.
cli_uninstall() {
    local files earlier="Earlier,winspool,LPT2:"
    add_port_value USB001 || return 1
    expect_robot "an earlier default printer" regset "$DEVICE_KEY" Device sz "$earlier" || return 1
    cli_run /quiet /model M42 /port auto /nodefault /log "$CLI_LOG_NAME" || return 1
    cli_expect_log 'Bound the printer to the USB port "USB001" (on Windows 7 the port is not read back)'
    cli_expect_no_log_line "Make * the default printer*"
    if [ "$E2E_TARGET" = wow64 ]; then
        # The failed installation was undone: there is nothing to remove.
        cli_expect_wow64_refusal M42 USB001 1 "$earlier"
        cli_run_in "$E2E_PACKAGE" /quiet /uninstall /model M42 /log "$CLI_LOG_NAME" || return 1
        cli_expect_quiet_exit 0
        cli_expect_log 'The printer "M42" is not installed: nothing to remove.' "Exit code 0"
        return 0
    fi
    cli_expect_quiet_exit 0
    expect_printer M42 USB001
    expect_driver M42 M42.GPD TQ3XEv1.DLL
    expect_device "$earlier"

    cli_run_in "$E2E_PACKAGE" /quiet /uninstall /model M42 /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 0
    expect_no_printer M42
    expect_no_driver M42 "$E2E_ENVIRONMENT"
    expect_device "$earlier"
    mapfile -t files < <(model_files TQ3XEv1.DLL M42.GPD)
    expect_driver_files "${files[@]}"
    cli_expect_log "Delete the printer driver \"M42\" for \"$E2E_ENVIRONMENT\", version 3: done; the spooler refused to delete the driver's files, so they stayed in its driver directory" \
        "Exit code 0" 'Delete the printer "M42": done' \
        'The printer "M42" was removed. Its driver was removed; its files stayed in the driver directory.'
    # The removal appended to the install's log.
    expect "runs in the log" 2 "$(cli_log_texts | grep -c '^Command line: ')" || cli_show_log
    cli_expect_log_format

    cli_remember_state || return 1
    cli_run /quiet /uninstall /model K30A /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 0
    cli_expect_header
    cli_expect_log 'The printer "K30A" is not installed: nothing to remove.' "Exit code 0"
    cli_expect_state_unchanged
}

# ---------------------------------------------------------------------------------------
# Refused lines

# cli_expect_refused WHY ARGS...: the run, with the log, ends with 1639, changes nothing and
# its log gives the reason.
cli_expect_refused() {
    local why=$1
    shift
    cli_run "$@" /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 1639
    cli_expect_header
    cli_expect_log "The command line was refused: $why. Nothing was changed" "Exit code 1639"
    cli_expect_state_unchanged
}

cli_refused_lines() {
    create_device_key || return 1
    expect_robot "an earlier default printer" regset "$DEVICE_KEY" Device sz "Earlier,winspool,LPT2:" || return 1
    cli_remember_state || return 1
    cli_expect_refused "'/model K99': unknown model, not one of $CLI_MODELS" /quiet /model K99
    cli_expect_refused 'the spooler lists no port "NOSUCH:" (its ports: *LPT1:*)' \
        /quiet /model K20A /port NOSUCH:
    cli_expect_refused "'/serial 9600,n,8,1,x' needs /port COM1, COM2, COM3 or COM4" \
        /quiet /model K20A /port LPT1: /serial 9600,n,8,1,x
    cli_expect_refused "unknown switch '/frobnicate'" /quiet /model K20A /frobnicate
    cli_expect_refused "'/model' needs a value" /quiet /model
    cli_expect_refused "'/port LPT1:' does not go with /uninstall" /quiet /uninstall /model K20A /port LPT1:
    cli_refused_without_log_switch
}

# Without /log the run writes a fresh %TEMP%\VexoSetup-<time>-<pid>-<random>.log.
cli_refused_without_log_switch() {
    local marker=$E2E_RUN_DIR/before-temp-log logs=() pid
    : >"$marker"
    rm -f "$CLI_LOG"
    cli_run_in "$E2E_PACKAGE" /quiet /model K99 || return 1
    # The robot's first line names the process it started.
    pid=${ROBOT_LINES[0]#pid=}
    pid=${pid%% *}
    cli_expect_quiet_exit 1639
    cli_expect_state_unchanged
    mapfile -t logs < <(find "$E2E_PREFIX/drive_c/users" -name 'VexoSetup-*.log' -newer "$marker" 2>/dev/null)
    if [ "${#logs[@]}" != 1 ]; then
        e2e_fail "expected one new VexoSetup-*.log in the prefix's users folder, found ${#logs[@]}: ${logs[*]}"
        return 1
    fi
    [[ ${logs[0]} =~ /Temp/VexoSetup-[0-9]{8}-[0-9]{6}-$pid-[0-9a-f]{16}\.log$ ]] ||
        e2e_fail "the log's name is not Temp\\VexoSetup-<date>-<time>-$pid-<16 random hex digits>.log: ${logs[0]#"$E2E_PREFIX"/}"
    CLI_LOG=${logs[0]} cli_expect_log "The command line was refused: '/model K99': unknown model, not one of $CLI_MODELS. Nothing was changed" \
        "Exit code 1639"
    cli_expect_log_format "${logs[0]}"
    rm -f "${logs[0]}"
}


# A command line that asks for quiet in a spelling the parser refuses is refused quietly:
# no window waits for a person who is not there.
cli_quiet_spellings() {
    local spelling
    create_device_key || return 1
    cli_remember_state || return 1
    for spelling in /quiet=1 -QUIET: $'\u2013quiet' '/quiet '; do
        cli_run "$spelling" /model K20A /port LPT1: /log "$CLI_LOG_NAME" || return 1
        cli_expect_quiet_exit 1639
        cli_expect_log "The command line was refused: *. Nothing was changed" "Exit code 1639"
        cli_expect_state_unchanged
    done
}

# The newest fresh log in the prefix's Temp folders since the file MARKER, in CLI_FRESH_LOG.
CLI_FRESH_LOG=
cli_find_fresh_log() {
    local logs=()
    mapfile -t logs < <(find "$E2E_PREFIX/drive_c/users" -name 'VexoSetup-*.log' -newer "$1" 2>/dev/null)
    if [ "${#logs[@]}" != 1 ]; then
        e2e_fail "expected one new VexoSetup-*.log in the prefix's users folder, found ${#logs[@]}: ${logs[*]}"
        return 1
    fi
    CLI_FRESH_LOG=${logs[0]}
}

# A log named in a folder that is a link to another folder: nothing is written at the link's
# target, the installation goes on, and the fresh log in %TEMP% says why it stands in.
cli_log_through_linked_folder() {
    local link=$E2E_PREFIX/drive_c/vexo-linked target=$E2E_RUN_DIR/link-target
    local marker=$E2E_RUN_DIR/before-linked ok=0
    create_device_key || return 1
    rm -rf "$link" "$target"
    mkdir -p "$target" && ln -s "$target" "$link" && : >"$marker" || return 1
    cli_run /quiet /model K20A /port LPT1: /nodefault /log 'C:\vexo-linked\evil.log' || ok=1
    rm -f "$link"
    [ "$ok" = 0 ] || return 1
    if [ -n "$(ls -A "$target")" ]; then
        e2e_fail "the run wrote through the link: $(ls -l "$target")"
    fi
    if [ "$E2E_TARGET" = wow64 ]; then
        expect "the exit code of \"$CLI_ARGS\"" 1603 "$E2E_APP_CODE"
    else
        cli_expect_quiet_exit 0
        expect_printer K20A LPT1:
    fi
    cli_find_fresh_log "$marker" || return 1
    local first
    first=$(CLI_LOG=$CLI_FRESH_LOG cli_log_texts | head -n 1)
    # shellcheck disable=SC2016 # the pattern's backslashes and quotes are the text's own
    [[ $first == 'The log "C:\vexo-linked\evil.log" named by /log is not written, so this one is: the folder "C:\vexo-linked" leads to "'*'" (a link, junction or mount point on the way)' ]] ||
        e2e_fail "the fresh log's first line: $first"
    CLI_LOG=$CLI_FRESH_LOG cli_expect_log "Exit code *"
    {
        printf '== the fresh log that stood in for C:\\vexo-linked\\evil.log; the link target holds: %s\n' \
            "$(ls -A "$target" | tr '\n' ' ')"
        tr -d '\r' <"$CLI_FRESH_LOG"
        echo
    } >>"$CLI_RUNS"
    rm -f "$CLI_FRESH_LOG" "$marker"
    rm -rf "$target"
}

# ---------------------------------------------------------------------------------------
# The installation mutex

CLI_HOLDER_PID=
CLI_HOLDER_OUT=
CLI_RELEASE_NAME='C:\vexo-e2e-release'
CLI_RELEASE=$E2E_PREFIX/drive_c/vexo-e2e-release

# The holder says it holds the mutex, or has ended.
cli_holding() { grep -q '^- holding ' "$CLI_HOLDER_OUT" || e2e_dead "$CLI_HOLDER_PID"; }

# Another robot process takes the installation mutex, made as the installer makes it, and
# holds it until the release file exists; this waits until it says it holds it.
cli_hold_mutex() {
    CLI_HOLDER_OUT=$E2E_RUN_DIR/mutex-holder.out
    rm -f "$CLI_RELEASE"
    : >"$CLI_HOLDER_OUT"
    "$E2E_WINE" "$E2E_ROBOT_EXE" holdmutex "$CLI_MUTEX" "$CLI_RELEASE_NAME" 300000 "$CLI_MUTEX_SDDL" \
        >"$CLI_HOLDER_OUT" 2>>"$E2E_ARTIFACTS/robot.log" &
    CLI_HOLDER_PID=$!
    e2e_log "mutex holder pid $CLI_HOLDER_PID"
    if ! e2e_poll 60 cli_holding || ! grep -q '^- holding ' "$CLI_HOLDER_OUT"; then
        e2e_fail "the robot did not take the mutex $CLI_MUTEX: $(cat "$CLI_HOLDER_OUT")"
        return 1
    fi
}

# Lets the holder release the mutex and end, and ends it by its pid if it does not.
cli_release_mutex() {
    [ -n "$CLI_HOLDER_PID" ] || return 0
    touch "$CLI_RELEASE"
    e2e_poll 60 e2e_dead "$CLI_HOLDER_PID" || e2e_fail "the mutex holder did not end after the release"
    e2e_stop_pid "$CLI_HOLDER_PID"
    CLI_HOLDER_PID=
    grep -q '^OK released' "$CLI_HOLDER_OUT" ||
        e2e_fail "the mutex holder did not release the mutex: $(cat "$CLI_HOLDER_OUT")"
    rm -f "$CLI_RELEASE"
}

cli_mutex_held() {
    create_device_key || return 1
    cli_remember_state || return 1
    cli_hold_mutex || {
        cli_release_mutex
        return 1
    }
    cli_mutex_held_runs
    cli_release_mutex
}

# Two runs share one log: the second starts while the first, without /quiet, still holds
# the lock and the log behind its final message box. Both runs' lines are in the log, the
# second's "Exit code 1618" among them.
cli_shared_log_while_locked() {
    local first first_win ok=0 code=0
    create_device_key || return 1
    rm -f "$CLI_LOG"
    expect_robot "the first run" e2e_start_installer "$E2E_PACKAGE" /model K20A /port LPT1: /nodefault /log "$CLI_LOG_NAME" || return 1
    expect_robot "the first run's final box" msgbox "$APP_BOX" "" 60000 || return 1
    first=$E2E_APP_PID first_win=$E2E_APP_WINPID
    E2E_APP_PID=
    cli_run_in "$E2E_PACKAGE" /quiet /model K30A /port LPT1: /log "$CLI_LOG_NAME" || ok=1
    [ "$ok" = 0 ] && cli_expect_quiet_exit 1618
    E2E_APP_PID=$first E2E_APP_WINPID=$first_win
    expect_robot "answer the first run's box" answer "$APP_BOX" 1 "" 30000 || return 1
    expect_robot "the first run's end" e2e_wait_exit 60 || return 1
    [ "$E2E_TARGET" = wow64 ] && code=1603
    expect "the first run's exit code" "$code" "$E2E_APP_CODE"
    expect "runs in the log" 2 "$(cli_log_texts | grep -c '^Command line: ')" || cli_show_log
    cli_expect_log "Another installation is running (it holds \"$CLI_MUTEX\"); nothing was changed" \
        "Exit code 1618" "Exit code $code"
    cli_expect_log_format
    expect_no_printer K30A
}

cli_mutex_held_runs() {
    local held="Another installation is running (it holds \"$CLI_MUTEX\"); nothing was changed"
    cli_run /quiet /model K20A /port LPT1: /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 1618
    cli_expect_header
    cli_expect_log "$held" "Exit code 1618"
    cli_expect_no_log_line "Copy *"
    cli_expect_state_unchanged

    cli_run /quiet /uninstall /model K20A /log "$CLI_LOG_NAME" || return 1
    cli_expect_quiet_exit 1618
    cli_expect_log "$held" "Exit code 1618"
    cli_expect_state_unchanged
}

# ---------------------------------------------------------------------------------------

scenarios+=(
    "cli: a quiet install on a named port (lpt1 taken as LPT1:):cli_install_named_port"
    "cli: a quiet install on the automatic port goes on as Cancel does:cli_install_automatic_port"
    "cli: a quiet install from a package without UNIRES.DLL ends with 1603 and undoes what it changed, a port it created included:cli_install_missing_package_file"
    "cli: a package that others can change is refused, 1603:cli_install_package_others_can_change"
    "cli: a quiet removal after an install, and of a model not installed:cli_uninstall"
    "cli: a network printer on the Standard TCP/IP port it creates, named, with location and comment:cli_network_printer"
    "cli: printing defaults for every user through the driver, refused where it does not offer them, put back when the run fails:cli_printing_defaults"
    "cli: refused command lines end with 1639 and change nothing:cli_refused_lines"
    "cli: the installation mutex held by another process, 1618:cli_mutex_held"
    "cli: two runs share one log, the second while the first holds the lock:cli_shared_log_while_locked"
    "cli: quiet in a refused spelling ends with 1639 and no window:cli_quiet_spellings"
    "cli: a log through a linked folder writes nothing at the link's target:cli_log_through_linked_folder"
)
