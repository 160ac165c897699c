# shellcheck shell=bash
# End-to-end scenarios of the printer settings page, the port page, the port creation
# dialog and whole installations. Sourced by tests/e2e/run.sh, which provides the helpers
# (lib.sh) and runs the scenarios listed at the end. Every scenario starts from a prefix
# without the installer's printers, drivers, ports, default printer and driver files
# (e2e_reset_prefix).

PORT_PAGE="Select Port (x86/x64)"
CREATE_PORT="Create Port"
# Wine's own dialogs, opened by its local port monitor.
ADD_LOCAL_PORT="Add a Local Port"
CONFIGURE_LPT="Configure LPT Port"
RETRY_BOX="Fail to select port"
# The installer's own message boxes carry its program name.
APP_BOX="VexoSetup"

RETRY_TEXT=$'Failed to select USB port,please check the port is connected.\r\n\r\nClick Retry:Retry to select usb port\r\nClick Cancel:Continue installation, you can select the port after installation'
FAILURE_HEADER=$'The installation did not complete. These steps failed:\r\n'
DEVICE_KEY=$E2E_WINDOWS_KEY
WINE_PORTS=("COM1:" "COM2:" "COM3:" "COM4:" "FILE:" "LPT1:" "LPT2:" "LPT3:")
LPT1_ROW=5 # of Wine's ports in the spooler's order

# ---------------------------------------------------------------------------------------
# Getting there

open_settings_page() {
    e2e_start_installer "$@" || return 1
    expect_robot "the first page" e2e_wait_window "$OS_PAGE" || return 1
    expect_robot "click Install Printer Driver" click "$OS_PAGE" 1009 || return 1
    expect_robot "the settings page" e2e_wait_window "$SETTINGS_PAGE" 30
}

open_port_page() {
    open_settings_page "$@" || return 1
    expect_robot "click Next" click "$SETTINGS_PAGE" 1009 || return 1
    expect_robot "the port page" e2e_wait_window "$PORT_PAGE" 30
}

# Search Port, then waits until the list shows the machine's ports.
search_ports() {
    expect_robot "click Search Port" click "$PORT_PAGE" 1036 || return 1
    expect_prop "$PORT_PAGE" 1021 rows "$1" "rows after Search Port"
}

# Leaves the port page with its Cancel button and the installer from the settings page.
leave_port_page() {
    expect_robot "Cancel on the port page" click "$PORT_PAGE" 1023 || return 1
    expect_robot "the port page has closed" waitgone "$PORT_PAGE" 10000 || return 1
    leave_settings_page
}

# ---------------------------------------------------------------------------------------
# What the pages show

# The state of a top-level window, from the robot's list: "enabled" or "disabled".
window_state() {
    local l
    robot windows || return 1
    for l in "${ROBOT_LINES[@]}"; do
        if [[ $l == *" title=$(e2e_robot_word "$1")" ]]; then
            [[ $l == *" enabled=1 "* ]] && ROBOT_VALUE=enabled || ROBOT_VALUE=disabled
            return 0
        fi
    done
    ROBOT_VALUE=absent
}

expect_window_state() {
    window_state "$1" || {
        e2e_fail_robot "the state of \"$1\""
        return 1
    }
    # shellcheck disable=SC2034 # the scenario's report shows it
    expect "\"$1\" is $2" "$2" "$ROBOT_VALUE" || E2E_SEEN=$(robot_lines)
}

indent() {
    local l
    while IFS= read -r l; do
        printf '      %s\n' "$l"
    done <<<"$1"
}

# expect_rows WINDOW ID DESCRIPTION LINE...: the list view's rows as the robot's lvrows
# command shows them (row=N selected=0|1 "column 0" "column 1"...).
expect_rows() {
    local window=$1 id=$2 what=$3
    shift 3
    local want seen
    want=$(printf '%s\n' "$@")
    expect_robot "$what" lvrows "$window" "$id" || return 1
    seen=$(printf '%s\n' "${ROBOT_LINES[@]}")
    if [ "$want" != "$seen" ]; then
        e2e_fail "$what: expected rows"$'\n'"$(indent "$want")"$'\n'"  saw"$'\n'"$(indent "$seen")"
        return 1
    fi
}

# The rows of Wine's ports (and further ports given as NAME), with the row SELECTED
# selected (-1: none).
port_rows() {
    local selected=$1 row=0 name
    shift
    for name in "${WINE_PORTS[@]}" "$@"; do
        printf 'row=%d selected=%d "%s" "Local Port"\n' "$row" "$([ "$row" = "$selected" ] && echo 1 || echo 0)" "$name"
        row=$((row + 1))
    done
}

expect_port_rows() {
    local what=$1 lines=()
    shift
    mapfile -t lines < <(port_rows "$@")
    expect_rows "$PORT_PAGE" 1021 "$what" "${lines[@]}"
}

# ---------------------------------------------------------------------------------------
# Message boxes and the end of the installer

# Waits for the retry box, checks its text and buttons, and answers it (4 Retry, 2 Cancel).
answer_retry_box() {
    local answer=$1 shot=${2:-}
    expect_robot "the box \"$RETRY_BOX\"" msgbox "$RETRY_BOX" "" 60000 || return 1
    expect "text of \"$RETRY_BOX\"" "$RETRY_TEXT" "$ROBOT_VALUE"
    expect "buttons of \"$RETRY_BOX\"" 'button id=4 text="&Retry"|button id=2 text="Cancel"' \
        "$(
            IFS='|'
            echo "${ROBOT_LINES[*]:1}"
        )"
    [ -n "$shot" ] && e2e_screenshot "$shot"
    expect_robot "answer \"$RETRY_BOX\" with $answer" answer "$RETRY_BOX" "$answer" "" 30000
}

# Waits for the program to end and checks that it showed none of the titled windows on the
# way (a "Completed!" box after a failure report, a retry box that should not come).
expect_exit_without() {
    local what=$1 title bad
    shift
    if ! e2e_wait_exit 60; then
        e2e_fail_robot "$what: the program did not end"
        return 1
    fi
    while IFS= read -r title; do
        for bad in "$@"; do
            [ -n "$title" ] && [ "$title" = "$bad" ] && e2e_fail "$what: the window \"$title\" appeared"
        done
    done <<<"$E2E_APP_SEEN"
    [ -z "$E2E_OTHER_WINDOWS" ] || e2e_fail "$what: another process opened a window: $E2E_OTHER_WINDOWS"
}

# The installation reported success: "Completed!", then the installer ends.
expect_completed() {
    local shot=$1
    expect_robot "the box \"Completed!\"" msgbox "$APP_BOX" "Completed!" 60000 || return 1
    e2e_screenshot "$shot"
    expect_robot "answer \"Completed!\"" answer "$APP_BOX" 1 "Completed!" 30000 || return 1
    expect_exit_without "after \"Completed!\"" "$APP_BOX" "$RETRY_BOX" "$PORT_PAGE"
}

# The installation reported failures: the box's text starts with the failure header, and
# each FAILURE LINE pattern (a glob) matches one of its lines; there are no further lines.
# No "Completed!" follows.
expect_failure_report() {
    local shot=$1 text lines=() pattern glob l found
    shift
    expect_robot "the failure report" msgbox "$APP_BOX" "" 60000 || return 1
    text=$ROBOT_VALUE
    e2e_screenshot "$shot"
    if [[ $text != "$FAILURE_HEADER"* ]]; then
        e2e_fail "the box of \"$APP_BOX\" is no failure report: \"$text\""
    else
        mapfile -t lines < <(printf '%s' "${text#"$FAILURE_HEADER"}" | tr -d '\r' | sed '/^$/d')
        expect "lines of the failure report (\"$text\")" "$#" "${#lines[@]}"
        for pattern in "$@"; do
            found=0
            # Backslashes in the pattern are the text's own, not escapes.
            glob=${pattern//\\/\\\\}
            for l in "${lines[@]}"; do
                # shellcheck disable=SC2053 # the pattern is a glob
                [[ $l == $glob ]] && found=1
            done
            [ "$found" = 1 ] || e2e_fail "the failure report has no line like \"$pattern\": \"$text\""
        done
    fi
    expect_robot "answer the failure report" answer "$APP_BOX" 1 "$text" 30000 || return 1
    expect_exit_without "after the failure report" "$APP_BOX" "$RETRY_BOX" "$PORT_PAGE"
}

# ---------------------------------------------------------------------------------------
# What an installation left in the spooler, the driver directory and the registry

# The spooler's record of a printer, as the robot's printers command shows it.
printer_line() {
    local l
    robot printers || return 1
    ROBOT_VALUE=
    for l in "${ROBOT_LINES[@]}"; do
        [[ $l == "name=\"$1\" "* ]] && ROBOT_VALUE=$l
    done
    return 0
}

expect_printer() {
    local name=$1 port=$2
    printer_line "$name" || {
        e2e_fail_robot "the printers"
        return 1
    }
    expect "the printer $name" \
        "name=\"$name\" port=\"$port\" driver=\"$name\" processor=\"WinPrint\" datatype=\"RAW\"" \
        "$ROBOT_VALUE"
}

expect_no_printer() {
    printer_line "$1" || {
        e2e_fail_robot "the printers"
        return 1
    }
    expect "no printer $1" "" "$ROBOT_VALUE"
}

# The driver as the spooler lists it: Wine keeps registered drivers' files in the version
# folder 3 of the driver directory.
expect_driver() {
    local name=$1 gpd=$2 dll=$3 dir l line=
    expect_robot "the driver directory" driverdir "$E2E_ENVIRONMENT" || return 1
    dir=$(e2e_robot_word "$ROBOT_VALUE\\3")
    dir=${dir:1:${#dir}-2} # as the robot escapes it, without the quotes
    expect_robot "the drivers" drivers "$E2E_ENVIRONMENT" || return 1
    for l in "${ROBOT_LINES[@]}"; do
        [[ $l == "name=\"$name\" "* ]] && line=$l
    done
    expect "the driver $name" \
        "name=\"$name\" version=3 env=\"$E2E_ENVIRONMENT\" driver=\"$dir\\\\uniDRV.DLL\" data=\"$dir\\\\$gpd\" config=\"$dir\\\\uniDRVui.DLL\" help=\"$dir\\\\uniDRV.HLP\" depends=\"$dir\\\\ttfsub.GPD|$dir\\\\unires.DLL|$dir\\\\stdnames.GPD|$dir\\\\$dll\"" \
        "$line"
}

# No driver of that name for an environment.
expect_no_driver() {
    local name=$1 env=$2 l
    expect_robot "the drivers for $env" drivers "$env" || return 1
    for l in "${ROBOT_LINES[@]}"; do
        [[ $l == "name=\"$name\" "* ]] && e2e_fail "the driver $name is registered for \"$env\": $l"
    done
    return 0
}

# The driver directory of the target's environment holds exactly the files named, each the
# same as the file of the package folder for that environment (x86 or x64).
expect_driver_files() {
    local want seen name dir package="$E2E_PACKAGE/Printer Driver/$E2E_PACKAGE_ARCH"
    dir=$(e2e_driver_dir)
    want=$(printf '%s\n' "$@" | sort)
    seen=$(find "$dir" -maxdepth 1 -type f -printf '%f\n' 2>/dev/null | sort)
    expect "files in the driver directory ${dir#"$E2E_PREFIX"/}" "$want" "$seen"
    for name in "$@"; do
        if [ -f "$dir/$name" ] && ! cmp -s "$package/$name" "$dir/$name"; then
            e2e_fail "the driver directory's $name differs from the package's ${package##*/} one"
        fi
    done
}

# The driver directory's folder as the installer names it in its report, as a glob: Wine
# names the x86 folder "w32x86", Windows "W32X86".
driver_subdir_glob() {
    case $E2E_DRIVER_SUBDIR in
    w32x86) printf '%s' '[Ww]32[Xx]86' ;;
    *) printf '%s' "$E2E_DRIVER_SUBDIR" ;;
    esac
}

# The files of a model: its library, its GPD file and the six shared files.
model_files() {
    printf '%s\n' "$1" "$2" uniDRVui.DLL uniDRV.DLL UNIDRV.HLP UNIRES.DLL TTFSUB.GPD STDNAMES.GPD
}

# The first model installed on PORT: the printer, its driver and files, the default printer.
expect_k20a_installed() {
    local port=$1 files
    expect_printer K20A "$port"
    expect_driver K20A TQ20P.GPD TQ20Ev1.DLL
    mapfile -t files < <(model_files TQ20Ev1.DLL TQ20P.GPD)
    expect_driver_files "${files[@]}"
    expect_device "K20A,winspool,$port"
}

# The default printer: "Device" under HKCU, a text with its terminating NUL.
expect_device() {
    local want=$1
    if ! robot regget "$DEVICE_KEY" Device; then
        e2e_fail_robot "the default printer"
        return 1
    fi
    expect "the default printer (Device)" "$want" "$ROBOT_VALUE"
    expect "the Device value's type and size" "type=REG_SZ bytes=$(((${#want} + 1) * 2))" \
        "${ROBOT_LINES[0]:-}"
}

expect_no_device_key() {
    robot regls "$DEVICE_KEY" && e2e_fail "the key $DEVICE_KEY was created"
    return 0
}

# The key that every real Windows has and a fresh Wine prefix lacks.
create_device_key() {
    expect_robot "create $DEVICE_KEY" regkey "$DEVICE_KEY"
}

add_port_value() {
    expect_robot "add the port $1" regset "$E2E_PORTS_KEY" "$1" sz ""
}

# ---------------------------------------------------------------------------------------
# The printer settings page

settings_page_models_and_back() {
    open_settings_page || return 1
    e2e_screenshot settings-page-defaults
    expect_robot "the model list" combo "$SETTINGS_PAGE" 1011 || return 1
    expect "the model list" 'count=8 sel=0' "$ROBOT_VALUE"
    expect "the models" '"K20A" "K20AW" "K30A" "K30AN" "K30AL" "M41" "M42" "M43"' "${ROBOT_LINES[*]}"
    expect_prop "$SETTINGS_PAGE" 1013 text K20A "Printer Name at first"
    expect_prop "$SETTINGS_PAGE" 1012 checked 1 "Set Default Printer at first"
    local model
    for model in M42 K30AL M43 K20AW K20A; do
        expect_robot "choose $model" comboselect "$SETTINGS_PAGE" 1011 "=$model" || return 1
        expect_prop "$SETTINGS_PAGE" 1013 text "$model" "Printer Name after choosing $model"
    done
    # The port and serial line group is hidden.
    local id
    for id in 1014 1015 1016 1017 1018 1019; do
        expect_prop "$SETTINGS_PAGE" "$id" visible 0 "hidden control $id"
    done

    expect_robot "click < Back" click "$SETTINGS_PAGE" 1008 || return 1
    expect_robot "the first page again" e2e_wait_window "$OS_PAGE" 30 || return 1
    expect_robot "the settings page has closed" waitgone "$SETTINGS_PAGE" 10000
    expect_prop "$OS_PAGE" 1005 checked 1 "the detected version on the first page again"
    expect_robot "click Exit" click "$OS_PAGE" 1010 || return 1
    expect_exit_showing_only "Exit after < Back" "$OS_PAGE"
}

# ---------------------------------------------------------------------------------------
# The port page

port_page_rows_and_search() {
    open_port_page || return 1
    e2e_screenshot port-page
    expect_rows "$PORT_PAGE" 1021 "the kinds of port" \
        'row=0 selected=0 "Serial port" "The program will select a available serial port during installation"' \
        'row=1 selected=1 "USB port" "The program will select a available USB port automatically"' \
        'row=2 selected=0 "TCP/IP port" "The program will prompt you to create a TCP/IP port or configure"'
    expect_prop "$PORT_PAGE" 1022 enabled 1 "Install button"
    expect_window_state "$SETTINGS_PAGE" disabled

    search_ports 8 || return 1
    expect_port_rows "Wine's ports after Search Port" -1
    e2e_screenshot port-page-search
    leave_port_page
    expect_no_printer K20A
}

port_page_create_port() {
    open_port_page || return 1
    expect_robot "click Create Port" click "$PORT_PAGE" 1008 || return 1
    expect_robot "the port creation dialog" e2e_wait_window "$CREATE_PORT" 30 || return 1
    expect_rows "$CREATE_PORT" 1021 "Wine's port monitors" 'row=0 selected=1 "Local Port"'
    expect_window_state "$PORT_PAGE" disabled
    e2e_screenshot create-port

    expect_robot "click New Port" click "$CREATE_PORT" 1008 || return 1
    expect_robot "the monitor's dialog" e2e_wait_window "$ADD_LOCAL_PORT" 30 || return 1
    expect_window_state "$CREATE_PORT" disabled
    expect_robot "type the port name" type "$ADD_LOCAL_PORT" 101 USB001 || return 1
    expect_prop "$ADD_LOCAL_PORT" 101 text USB001 "the typed port name"
    e2e_screenshot add-local-port
    expect_robot "confirm the port name" click "$ADD_LOCAL_PORT" 1 || return 1
    expect_robot "the monitor's dialog has closed" waitgone "$ADD_LOCAL_PORT" 10000 || return 1

    # The dialog stays open with its list as it was; the port exists.
    expect_window_state "$CREATE_PORT" enabled
    expect_rows "$CREATE_PORT" 1021 "the monitors after New Port" 'row=0 selected=1 "Local Port"'
    expect_robot "the new port in the registry" regget "$E2E_PORTS_KEY" USB001

    expect_robot "click Close" click "$CREATE_PORT" 1009 || return 1
    expect_robot "the port creation dialog has closed" waitgone "$CREATE_PORT" 10000 || return 1
    expect_prop "$PORT_PAGE" 1021 rows 9 "rows after Create Port"
    expect_port_rows "the ports after Create Port, the LPT1 row selected" "$LPT1_ROW" USB001
    e2e_screenshot port-page-created
    leave_port_page
}

port_page_configure_port() {
    open_port_page || return 1
    search_ports 8 || return 1

    # Wine 8.0's local port monitor asks for the serial settings with a buffer two bytes
    # short of the serial driver's minimum, so for a COM port it opens no dialog and the
    # call simply returns. The click has reached the page once its button has the focus;
    # the page's next answer comes after the call returned, and then nothing new is open.
    expect_robot "select COM1:" lvselect "$PORT_PAGE" 1021 0 || return 1
    expect_robot "click Configure Port on COM1:" click "$PORT_PAGE" 1009 || return 1
    expect_prop "$PORT_PAGE" 1009 focused 1 "Configure Port clicked"
    expect_prop "$PORT_PAGE" 1021 rows 8 "the page answers after configuring COM1:"
    expect_window_state "$PORT_PAGE" enabled

    expect_robot "select LPT1:" lvselect "$PORT_PAGE" 1021 "$LPT1_ROW" || return 1
    expect_robot "click Configure Port on LPT1:" click "$PORT_PAGE" 1009 || return 1
    expect_robot "the parallel port's dialog" e2e_wait_window "$CONFIGURE_LPT" 30 || return 1
    expect_window_state "$PORT_PAGE" disabled
    e2e_screenshot configure-lpt-port
    expect_robot "cancel the port's dialog" click "$CONFIGURE_LPT" 2 || return 1
    expect_robot "the port's dialog has closed" waitgone "$CONFIGURE_LPT" 10000 || return 1
    expect_window_state "$PORT_PAGE" enabled
    expect_port_rows "the ports after Configure Port" "$LPT1_ROW"
    leave_port_page
}

# ---------------------------------------------------------------------------------------
# Whole installations

# Windows 10 (Wine reports 6.2 to a program without a compatibility manifest): the binding
# finds no port on line, so the retry box comes; Cancel installs on the port that
# discovery chose.
install_usb_windows10() {
    e2e_set_windows_version win10 || return 1
    add_port_value USB001 || return 1
    create_device_key || return 1
    open_port_page || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    answer_retry_box 2 retry-box || return 1
    expect_completed completed-box || return 1
    expect_k20a_installed USB001
}

# Windows 7 binds every USB port without reading anything back: no retry box.
install_usb_windows7() {
    add_port_value USB001 || return 1
    create_device_key || return 1
    open_port_page || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    expect_completed completed-windows7 || return 1
    expect_k20a_installed USB001
}

# No USB port: the retry box, again after Retry; discovery chose the serial row, and the
# serial device map names COM1, so the printer goes on COM1:.
install_no_usb_serial_port() {
    e2e_set_serial_map '\Device\Serial0=COM1' || return 1
    create_device_key || return 1
    open_port_page || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    answer_retry_box 4 || return 1
    answer_retry_box 2 || return 1
    expect_completed completed-serial || return 1
    expect_printer K20A COM1:
    expect_device "K20A,winspool,COM1:"
}

# No USB port and an empty serial device map: no port is chosen, and the report says so.
install_no_usb_no_serial_port() {
    e2e_set_serial_map || return 1
    create_device_key || return 1
    open_port_page || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    answer_retry_box 4 || return 1
    answer_retry_box 2 || return 1
    expect_failure_report failure-no-port '- No port was chosen, so the printer "K20A" was not added' \
        '- The default printer was left as it was, since the printer "K20A" was not added' || return 1
    expect_no_printer K20A
    # The user's default printer is not pointed at a printer that does not exist.
    robot regget "$DEVICE_KEY" Device && e2e_fail "Device was written: \"$ROBOT_VALUE\""
    # The driver itself was deployed.
    expect_driver K20A TQ20P.GPD TQ20Ev1.DLL
    local files
    mapfile -t files < <(model_files TQ20Ev1.DLL TQ20P.GPD)
    expect_driver_files "${files[@]}"
}

# A port picked from the machine's ports: no discovery and no retry box.
install_search_lpt1() {
    create_device_key || return 1
    open_port_page || return 1
    search_ports 8 || return 1
    expect_robot "select LPT1:" lvselect "$PORT_PAGE" 1021 "$LPT1_ROW" || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    expect_completed completed-lpt1 || return 1
    expect "the exit code after a completed installation" 0 "$E2E_APP_CODE"
    expect_printer K20A LPT1:
    expect_driver K20A TQ20P.GPD TQ20Ev1.DLL
    expect_device "K20A,winspool,LPT1:"
}

# Another model, not made the default printer: the earlier default stays.
install_m42_not_default() {
    add_port_value USB001 || return 1
    expect_robot "an earlier default printer" regset "$DEVICE_KEY" Device sz "Earlier,winspool,LPT2:" || return 1
    open_settings_page || return 1
    expect_robot "choose M42" comboselect "$SETTINGS_PAGE" 1011 "=M42" || return 1
    expect_prop "$SETTINGS_PAGE" 1013 text M42 "Printer Name"
    expect_robot "uncheck Set Default Printer" click "$SETTINGS_PAGE" 1012 || return 1
    expect_prop "$SETTINGS_PAGE" 1012 checked 0 "Set Default Printer"
    e2e_screenshot settings-page-m42
    expect_robot "click Next" click "$SETTINGS_PAGE" 1009 || return 1
    expect_robot "the port page" e2e_wait_window "$PORT_PAGE" 30 || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    expect_completed completed-m42 || return 1
    expect_printer M42 USB001
    expect_no_printer K20A
    expect_driver M42 M42.GPD TQ3XEv1.DLL
    local files
    mapfile -t files < <(model_files TQ3XEv1.DLL M42.GPD)
    expect_driver_files "${files[@]}"
    expect_device "Earlier,winspool,LPT2:"
}

# A package that lacks a file: the report names it, and no "Completed!".
install_missing_package_file() {
    local package=$E2E_RUN_DIR/package-without-unires
    rm -rf "$package"
    cp -r "$E2E_PACKAGE" "$package"
    rm "$package/Printer Driver/$E2E_PACKAGE_ARCH/UNIRES.DLL"
    create_device_key || return 1
    open_port_page "$package" || return 1
    search_ports 8 || return 1
    expect_robot "select LPT1:" lvselect "$PORT_PAGE" 1021 "$LPT1_ROW" || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    expect_failure_report failure-missing-file \
        "- Copy \"Printer Driver\\$E2E_PACKAGE_ARCH\\UNIRES.DLL\" to \"C:\\windows\\system32\\spool\\drivers\\$(driver_subdir_glob)\\UNIRES.DLL\": * (error 2)" ||
        return 1
    expect "the exit code after the failure report" 1603 "$E2E_APP_CODE"
    # Everything else was done.
    expect_printer K20A LPT1:
    local files
    mapfile -t files < <(model_files TQ20Ev1.DLL TQ20P.GPD | grep -v UNIRES.DLL)
    expect_driver_files "${files[@]}"
    expect_device "K20A,winspool,LPT1:"
}

# A package in a folder with a Chinese name, deep enough that the driver files' source
# paths pass 200 characters: the wide-character calls take it as it is.
install_from_chinese_folder() {
    local deep package
    deep=$(printf 'd%.0s' {1..120})
    package=$E2E_RUN_DIR/驱动程序包/$deep/打印机驱动
    rm -rf "$E2E_RUN_DIR/驱动程序包"
    mkdir -p "$package"
    cp -r "$E2E_PACKAGE"/. "$package"
    create_device_key || return 1
    open_port_page "$package" || return 1
    search_ports 8 || return 1
    expect_robot "select LPT1:" lvselect "$PORT_PAGE" 1021 "$LPT1_ROW" || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    expect_completed completed-chinese-folder || return 1
    expect_printer K20A LPT1:
    local files
    mapfile -t files < <(model_files TQ20Ev1.DLL TQ20P.GPD)
    expect_driver_files "${files[@]}"
    rm -rf "$E2E_RUN_DIR/驱动程序包"
}

# Started from a folder that is no driver package: the report names the folder expected.
install_from_a_folder_without_package() {
    local folder=$E2E_RUN_DIR/Downloads
    rm -rf "$folder"
    mkdir -p "$folder"
    create_device_key || return 1
    open_port_page "$folder" || return 1
    search_ports 8 || return 1
    expect_robot "select LPT1:" lvselect "$PORT_PAGE" 1021 "$LPT1_ROW" || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    # (Wine registers a driver whose files are missing and adds its printer, where Windows
    # refuses both; the report then has just the package's line.)
    expect_failure_report failure-no-package \
        "- The driver package folder \"*\\Downloads\\Printer Driver\\$E2E_PACKAGE_ARCH\" was not found: start the installer from the driver package" ||
        return 1
    rm -rf "$folder"
}

# A fresh Wine prefix has no HKCU ...\Windows key: the default printer cannot be set, and
# the report says so instead of "Completed!".
install_without_windows_key() {
    add_port_value USB001 || return 1
    open_port_page || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    expect_failure_report failure-no-windows-key \
        '- Make "K20A" the default printer: open the key "Software\Microsoft\Windows NT\CurrentVersion\Windows": * (error 2)' ||
        return 1
    expect_printer K20A USB001
    expect_no_device_key
}

# Under WoW64 (a 32-bit process on 64-bit Windows) IsWow64Process answers true, so the
# installer copies the x64 files into drivers\x64 and registers them for "Windows x64", and
# nothing for "Windows NT x86". Wine's AddPrinter then looks for the driver in the calling
# process's own environment ("Windows NT x86") where Windows' spooler looks in its own
# ("Windows x64"), and refuses the printer with 1797: the report says exactly that, and
# the default printer is left alone.
install_wow64_x64_driver() {
    add_port_value USB001 || return 1
    create_device_key || return 1
    open_port_page || return 1
    expect_robot "click Install" click "$PORT_PAGE" 1022 || return 1
    expect_failure_report failure-wow64 \
        '- Add the printer "K20A" on the port "USB001": * (error 1797)' \
        '- The default printer was left as it was, since the printer "K20A" was not added' ||
        return 1
    expect "the exit code after the failure report" 1603 "$E2E_APP_CODE"
    expect_no_printer K20A
    expect_driver K20A TQ20P.GPD TQ20Ev1.DLL
    expect_no_driver K20A "Windows NT x86"
    local files
    mapfile -t files < <(model_files TQ20Ev1.DLL TQ20P.GPD)
    expect_driver_files "${files[@]}"
    robot regget "$DEVICE_KEY" Device && e2e_fail "Device was written: \"$ROBOT_VALUE\""
    return 0
}

if [ "$E2E_TARGET" = wow64 ]; then
    scenarios+=(
        "settings page: the models, the printer name and < Back:settings_page_models_and_back"
        "install under WoW64: the x64 driver, and Wine's refusal of the printer reported:install_wow64_x64_driver"
    )
    return 0
fi

scenarios+=(
    "settings page: the models, the printer name and < Back:settings_page_models_and_back"
    "port page: the kinds of port, then Search Port lists Wine's ports:port_page_rows_and_search"
    "port page: Create Port adds USB001 through Wine's Add a Local Port:port_page_create_port"
    "port page: Configure Port opens the port monitor's dialog:port_page_configure_port"
    "install: Windows 10, USB001, retry box, Cancel, Completed:install_usb_windows10"
    "install: Windows 7, USB001, no retry box, Completed:install_usb_windows7"
    "install: no USB port, Retry then Cancel, serial port COM1:install_no_usb_serial_port"
    "install: no USB port, no serial port, the report says no port was chosen:install_no_usb_no_serial_port"
    "install: Search Port, LPT1:, Completed:install_search_lpt1"
    "install: M42 without Set Default Printer keeps the default:install_m42_not_default"
    "install: a package without UNIRES.DLL is reported:install_missing_package_file"
    "install: no default printer key is reported:install_without_windows_key"
    "install: a package in a deep folder with a Chinese name:install_from_chinese_folder"
    "install: a folder that is no driver package is named in the report:install_from_a_folder_without_package"
)
