#!/usr/bin/env bash
# Starts the installer under Wine on the sample driver package, or on the driver package
# folder given, in a Wine prefix of its own (build/run/prefix-x86). The program is the one
# users get, the windows-x86 VexoSetup.exe, on 32-bit Windows (a WINEARCH=win32 prefix),
# where the whole installation completes. On a machine that cannot run 32-bit code it says
# so and runs the windows-x64 build in a 64-bit prefix instead (build/run/prefix). It
# installs what is missing, builds the installer and the UI robot, and takes away what an
# earlier run installed in that prefix.
#
# With a display ($DISPLAY set) the wizard opens there, for you to click through; the script
# waits until it ends and then shows what it installed. Without one (or with --headless) it
# runs a typical installation on its own under Xvfb, inside Wine's virtual desktop: the
# first page's "Install Printer Driver (&N) >", the settings page's defaults and "&Next >",
# "&Install" on the port page's "USB port" row, Cancel in the "Fail to select port" box and
# OK in the result box. It takes a picture of every page and box into build/run/screenshots/
# and reports what the installer left in the prefix (also in build/run/report.txt).
#
# usage: scripts/run-installer.sh [--headless] [--all-pages] [PACKAGE_DIR]
#   --headless   the typical installation under Xvfb even when there is a display
#   --all-pages  also list the machine's ports and open the port creation dialog on the
#                way, for their pictures (scripts/make-docs.sh uses this)
#   PACKAGE_DIR  a driver package folder (with "Printer Driver\x86\" and "\x64\"); default:
#                the sample package, made in build/run/package
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

headless=0
all_pages=0
package=
while [ $# -gt 0 ]; do
    case $1 in
    --headless) headless=1 ;;
    --all-pages) all_pages=1 ;;
    -h | --help)
        sed -n '2,/^set -u/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    -*)
        echo "unknown option $1 (see $0 --help)" >&2
        exit 2
        ;;
    *)
        [ -z "$package" ] || {
            echo "only one package folder, please" >&2
            exit 2
        }
        package=$1
        ;;
    esac
    shift
done
[ -n "${DISPLAY:-}" ] || headless=1

say() { printf '==> %s\n' "$*"; }

# ---------------------------------------------------------------------------------------
# Tools, build, package

say "Checking the tools (scripts/deps.sh installs what is missing, as root via apt-get)"
# shellcheck source=scripts/deps.sh
source scripts/deps.sh
set +e +o pipefail # deps.sh sets its own options; this script checks each step itself
vexo_install_deps || {
    echo "could not install the tools" >&2
    exit 1
}

# The shipped 32-bit program as 32-bit Windows; the 64-bit build where 32-bit code cannot run.
why=$(vexo_32bit_refusal)
if [ -z "$why" ]; then
    export E2E_TARGET=x86
else
    echo "note: the shipped windows-x86 VexoSetup.exe cannot run here: $why."
    echo "      Running the windows-x64 build under wine64 instead (the same sources, 64-bit)."
    export E2E_TARGET=x64
fi
preset=windows-$E2E_TARGET
build=$root/build/$preset
if [ ! -f "$build/CMakeCache.txt" ]; then
    say "Configuring the $preset build (cmake --preset $preset)"
    cmake --preset "$preset" >/dev/null || exit 1
fi
say "Building VexoSetup.exe and the UI robot in build/$preset (a few minutes the first time)"
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target VexoSetup vexo_robot -- \
    --no-print-directory >"$root/build/run-installer-build.log" 2>&1 || {
    cat "$root/build/run-installer-build.log"
    echo "the build failed" >&2
    exit 1
}
rm -f "$root/build/run-installer-build.log"

export E2E_OUT=$root/build/run
# shellcheck source=tests/e2e/lib.sh
source tests/e2e/lib.sh
E2E_ROBOT_EXE=$build/tests/e2e/robot.exe
E2E_INSTALLER_EXE=$build/app/VexoSetup.exe
SHOTS=$E2E_OUT/screenshots
REPORT=$E2E_OUT/report.txt

if [ -z "$package" ]; then
    package=$E2E_PACKAGE
    say "Making the sample driver package in ${package#"$root"/}"
    scripts/make-sample-package.sh "$package" || exit 1
else
    [ -d "$package" ] || {
        echo "no folder $package" >&2
        exit 2
    }
    package=$(cd "$package" && pwd)
    [ -d "$package/Printer Driver/$E2E_PACKAGE_ARCH" ] ||
        echo "note: $package has no \"Printer Driver/$E2E_PACKAGE_ARCH\" folder; the installer will report the missing files"
    say "Using the driver package $package"
fi

# ---------------------------------------------------------------------------------------
# Wine

OS_PAGE="Select OS (x86/x64)"
SETTINGS_PAGE="Detail Setting (x86/x64)"
PORT_PAGE="Select Port (x86/x64)"
CREATE_PORT="Create Port"
RETRY_BOX="Fail to select port"
APP_BOX="VexoSetup"
EXPLORER_KEY='HKCU\Software\Wine\Explorer'
PORTS_KEY=$E2E_PORTS_KEY

# Like e2e_init, with this run's own folders and the user's display when there is one.
run_init() {
    mkdir -p "$E2E_OUT"
    exec {E2E_LOCK_FD}>"$E2E_OUT/prefix.lock"
    flock -w 600 "$E2E_LOCK_FD" || e2e_die "another run holds $E2E_OUT/prefix.lock"
    rm -rf "$E2E_ARTIFACTS" "$SHOTS" "$E2E_OUT"/run.* "$REPORT"
    mkdir -p "$E2E_ARTIFACTS" "$SHOTS"
    : >"$E2E_ARTIFACTS/e2e.log"
    : >"$E2E_ARTIFACTS/robot.log"
    : >"$E2E_ARTIFACTS/app.log"
    e2e_find_tools
    E2E_RUN_DIR=$(mktemp -d "$E2E_OUT/run.XXXXXX")
    trap e2e_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    e2e_wine_env
    "$E2E_WINESERVER" -k 2>/dev/null
    e2e_wine_wait
    if [ "$headless" = 1 ]; then
        e2e_start_xvfb
    fi
    say "Preparing the Wine prefix ${E2E_PREFIX#"$root"/} (about a minute the first time)"
    e2e_prepare_prefix
    # Wine's own window-button font, which this Wine does not find in its data folder:
    # without it the caption buttons show as letters.
    local marlett
    for marlett in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
        if [ -f "$marlett" ] && [ ! -f "$E2E_PREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
            mkdir -p "$E2E_PREFIX/drive_c/windows/Fonts"
            cp "$marlett" "$E2E_PREFIX/drive_c/windows/Fonts/"
        fi
    done
    e2e_start_robot
}

# Inside Wine's virtual desktop under Xvfb (framed, centred windows for the pictures); as
# ordinary windows of the desktop on a real display. The setting counts from the next start
# of the prefix's processes.
use_virtual_desktop() {
    local want=$1 have=0
    robot regget "$EXPLORER_KEY" Desktop && have=1
    [ "$have" = "$want" ] && return 0
    if [ "$want" = 1 ]; then
        robot regset "$EXPLORER_KEY" Desktop sz Default || return 1
    else
        robot regdel "$EXPLORER_KEY" Desktop || return 1
    fi
    e2e_flush_registry
}

fail() {
    printf 'run-installer: %s\n' "$*" >&2
    [ -n "${ROBOT_ERROR:-}" ] && printf '  the robot: %s\n' "$ROBOT_ERROR" >&2
    [ ${#ROBOT_LINES[@]} -gt 0 ] && robot_lines >&2
    if [ "$headless" = 1 ]; then
        import -display "$DISPLAY" -window root "$SHOTS/FAILED.png" 2>/dev/null &&
            printf '  what the screen showed: %s\n' "${SHOTS#"$root"/}/FAILED.png" >&2
    fi
    printf '  logs: %s\n' "${E2E_ARTIFACTS#"$root"/}" >&2
    exit 1
}

# must DESCRIPTION ROBOT-COMMAND ARGS...
must() {
    local what=$1
    shift
    robot "$@" || fail "$what"
}

# shot NAME TITLE: a picture of the screen once the window TITLE has painted completely,
# cut down to the windows on Wine's desktop with a small margin.
shot() {
    local name=$1 file=$SHOTS/$1.png
    robot painted "$2" 30000 || fail "the window \"$2\" did not finish painting"
    import -display "$DISPLAY" -window root "$E2E_RUN_DIR/shot.png" 2>>"$E2E_ARTIFACTS/e2e.log" || return 0
    convert "$E2E_RUN_DIR/shot.png" -trim +repage -bordercolor "$(convert "$E2E_RUN_DIR/shot.png" \
        -format '%[pixel:p{0,0}]' info:)" -border 10 "$file" 2>>"$E2E_ARTIFACTS/e2e.log" ||
        cp "$E2E_RUN_DIR/shot.png" "$file"
    SHOTS_TAKEN+=("$name")
    e2e_log "screenshot $name.png"
}
SHOTS_TAKEN=()

# ---------------------------------------------------------------------------------------
# The typical installation, driven by the robot

BOXES=()         # what each box said and how it was answered
RESULT_TEXT=     # the text of the installer's last box
PORTS_BEFORE=()  # the ports the spooler listed before the installation
USB_BEFORE=()    # the USB ports among them
PORT_VALUES_BEFORE=() # PORT=DATA of the values of the Ports key before the installation
SERIAL_BEFORE=() # the serial device map before the installation

# The titles of the visible windows of the installer's process, one a line.
app_windows() {
    local l
    robot windows || return 1
    for l in "${ROBOT_LINES[@]}"; do
        [[ $l == *" pid=$E2E_APP_WINPID "* ]] || continue
        l=${l#*title=\"}
        e2e_robot_unescape "${l%\"}"
        echo
    done
}

# Answers the boxes the installation shows until the installer ends: Cancel in the USB
# port retry, OK in the installer's own boxes.
answer_boxes() {
    local end=$((SECONDS + 180)) titles text
    while e2e_alive "$E2E_APP_PID"; do
        [ "$SECONDS" -ge "$end" ] && fail "the installer neither ended nor showed a box for 3 minutes"
        titles=$(app_windows) || break
        if grep -qxF "$RETRY_BOX" <<<"$titles"; then
            must "the box \"$RETRY_BOX\"" msgbox "$RETRY_BOX" "" 30000
            text=$ROBOT_VALUE
            shot usb-retry "$RETRY_BOX"
            echo "    \"$RETRY_BOX\": ${text%%$'\r'*} -> Cancel"
            BOXES+=("\"$RETRY_BOX\" (asks to check the USB connection): answered Cancel")
            must "answer Cancel" answer "$RETRY_BOX" 2 "" 30000
        elif grep -qxF "$APP_BOX" <<<"$titles"; then
            must "the box \"$APP_BOX\"" msgbox "$APP_BOX" "" 30000
            text=$ROBOT_VALUE
            if [ "$text" = "Completed!" ]; then
                shot completed "$APP_BOX"
            elif [[ $text == "The installation did not complete"* ]]; then
                shot failure-report "$APP_BOX"
            else
                shot "message-$((${#BOXES[@]} + 1))" "$APP_BOX"
            fi
            echo "    \"$APP_BOX\": $(tr -d '\r' <<<"$text" | head -1) -> OK"
            BOXES+=("\"$APP_BOX\": $(tr -d '\r' <<<"$text" | sed '/^$/d; 2,$s/^/      /')")
            RESULT_TEXT=$text
            must "answer OK" answer "$APP_BOX" 1 "$text" 30000
        else
            sleep 0.1
        fi
    done
}

# Lists the machine's ports and opens the port creation dialog, for their pictures, then
# leaves the port page and comes back to a fresh one from the settings page.
tour_port_page() {
    local ports=0 l
    robot ports || fail "the spooler's ports"
    for l in "${ROBOT_LINES[@]}"; do
        [[ $l == name=* ]] && ports=$((ports + 1))
    done
    echo "    port page: \"Search Port...\""
    must "click Search Port" click "$PORT_PAGE" 1036
    must "the machine's ports in the list" waitprop "$PORT_PAGE" 1021 rows "$ports" 10000
    shot port-page-search "$PORT_PAGE"
    echo "    port page: \"Create Port...\""
    must "click Create Port" click "$PORT_PAGE" 1008
    must "the port creation dialog" wait "$CREATE_PORT" 30000 "$E2E_APP_WINPID"
    shot create-port "$CREATE_PORT"
    must "click Close" click "$CREATE_PORT" 1009
    must "the port creation dialog closes" waitgone "$CREATE_PORT" 10000
    # "< &Back" puts the automatic port choice back, as a user who comes back would find it.
    echo "    port page: \"< &Back\", then \"&Next >\" again"
    must "click Back on the port page" click "$PORT_PAGE" 1010
    must "the port page closes" waitgone "$PORT_PAGE" 10000
    must "click Next" click "$SETTINGS_PAGE" 1009
    must "the port page" wait "$PORT_PAGE" 30000 "$E2E_APP_WINPID"
}

# What the report compares with: the ports, the serial device map, the Ports key's values.
record_before() {
    local l name
    robot ports || fail "the spooler's ports"
    for l in "${ROBOT_LINES[@]}"; do
        name=$(field "$l" name)
        PORTS_BEFORE+=("$name")
        [[ $name == USB* ]] && USB_BEFORE+=("$name")
    done
    e2e_value_names "$PORTS_KEY" || fail "the Ports key"
    for name in "${E2E_NAMES[@]}"; do
        robot regget "$PORTS_KEY" "$name" && PORT_VALUES_BEFORE+=("$name=$ROBOT_VALUE")
    done
    e2e_read_serial_map || fail "the serial device map"
    SERIAL_BEFORE=("${E2E_SERIAL_MAP[@]}")
}

typical_installation() {
    say "Running a typical installation under Xvfb (pictures in ${SHOTS#"$root"/}/)"
    e2e_start_program "$E2E_INSTALLER_EXE" "$package" || fail "starting VexoSetup.exe"
    must "the first page" wait "$OS_PAGE" 60000 "$E2E_APP_WINPID"
    shot os-page "$OS_PAGE"
    echo "    \"$OS_PAGE\": Install Printer Driver (&N) >"
    must "click Install Printer Driver" click "$OS_PAGE" 1009
    must "the settings page" wait "$SETTINGS_PAGE" 30000 "$E2E_APP_WINPID"
    must "the first page closes" waitgone "$OS_PAGE" 10000
    shot settings-page "$SETTINGS_PAGE"
    echo "    \"$SETTINGS_PAGE\": the defaults, &Next >"
    must "click Next" click "$SETTINGS_PAGE" 1009
    must "the port page" wait "$PORT_PAGE" 30000 "$E2E_APP_WINPID"
    shot port-page "$PORT_PAGE"
    [ "$all_pages" = 1 ] && tour_port_page
    must "the USB port row" lvselected "$PORT_PAGE" 1021 1
    [ "$ROBOT_VALUE" = 1 ] || fail "the port page opened without the \"USB port\" row selected"
    echo "    \"$PORT_PAGE\": &Install on the \"USB port\" row"
    must "click Install" click "$PORT_PAGE" 1022
    answer_boxes
    wait "$E2E_APP_PID" 2>/dev/null
    E2E_APP_STATUS=$?
    E2E_APP_PID=
}

# ---------------------------------------------------------------------------------------
# What the installer left in the prefix

# The value of KEY in one of the robot's records (KEY="text" or KEY=number), unescaped.
field() {
    local rest=" $1"
    rest=${rest#* "$2"=}
    [ "$rest" != " $1" ] || return 0
    if [[ $rest == \"* ]]; then
        rest=${rest#\"}
        # up to the first quote that no backslash escapes
        [[ $rest =~ ^(([^\"\\]|\\.)*) ]] && e2e_robot_unescape "${BASH_REMATCH[1]}"
    else
        printf '%s' "${rest%% *}"
    fi
}

# The printers, drivers, files and values of the prefix, as the spooler and the registry
# give them back.
report() {
    local l name port driver printers=() driverdir files=() copies=() device= dir
    dir=$(e2e_driver_dir)
    robot printers || fail "the printers"
    for l in "${ROBOT_LINES[@]}"; do
        name=$(field "$l" name)
        case " ${E2E_MODELS[*]} " in *" $name "*) ;; *) continue ;; esac
        port=$(field "$l" port)
        driver=$(field "$l" driver)
        printers+=("$name on the port $port, driver $driver")
    done
    robot driverdir "$E2E_ENVIRONMENT" && driverdir=$ROBOT_VALUE
    if [ -d "$dir" ]; then
        mapfile -t files < <(find "$dir" -maxdepth 1 -type f -printf '%f\n' | sort)
        [ -d "$dir/3" ] &&
            mapfile -t copies < <(find "$dir/3" -maxdepth 1 -type f ! -iname wineps.drv -printf '%f\n' | sort)
    fi
    robot regget "$E2E_WINDOWS_KEY" Device && device=$ROBOT_VALUE

    local windows="64-bit Windows"
    [ "$E2E_WINEARCH" = win32 ] && windows="32-bit Windows"
    echo "The installer (${E2E_INSTALLER_EXE#"$root"/}) under Wine as $windows, prefix ${E2E_PREFIX#"$root"/}, package $package"
    if [ ${#BOXES[@]} -gt 0 ]; then
        echo "Boxes:"
        printf '  %s\n' "${BOXES[@]}"
    fi
    if [ ${#printers[@]} -gt 0 ]; then
        echo "Printer (from the spooler):"
        printf '  %s\n' "${printers[@]}"
    else
        echo "Printer: none of the installer's models is in the spooler"
    fi
    if robot drivers "$E2E_ENVIRONMENT"; then
        for l in "${ROBOT_LINES[@]}"; do
            name=$(field "$l" name)
            case " ${E2E_MODELS[*]} " in *" $name "*) ;; *) continue ;; esac
            echo "Driver (from the spooler): $name, $(field "$l" env), version $(field "$l" version)"
            echo "  driver $(field "$l" driver)"
            echo "  data   $(field "$l" data)"
        done
    fi
    echo "Files in the driver directory ${driverdir:-C:\\windows\\system32\\spool\\drivers\\$E2E_DRIVER_SUBDIR} (${#files[@]}):"
    [ ${#files[@]} -gt 0 ] && echo "  ${files[*]}"
    [ ${#copies[@]} -gt 0 ] && echo "  and Wine's copies for the registered driver, in its folder 3: ${copies[*]}"
    if [ -n "$device" ]; then
        echo "Default printer (HKCU\\${E2E_WINDOWS_KEY#HKCU\\} \"Device\"): \"$device\""
    else
        echo "Default printer: no \"Device\" value under HKCU\\${E2E_WINDOWS_KEY#HKCU\\}"
    fi
    # The serial line settings, when the installer changed them.
    for l in "${PORT_VALUES_BEFORE[@]}"; do
        port=${l%%=*}
        if robot regget "$PORTS_KEY" "$port" && [ "$port=$ROBOT_VALUE" != "$l" ]; then
            echo "Line settings of $port (HKLM\\${PORTS_KEY#HKLM\\}): \"$ROBOT_VALUE\" (were \"${l#*=}\")"
        fi
    done
    explain "${printers[0]:-}"
}

# Why the printer is where it is, from what the run saw, as a paragraph.
explain() {
    local printer=$1 port text
    [ "$headless" = 1 ] || return 0
    port=${printer#* on the port } port=${port%%,*}
    if [ ${#USB_BEFORE[@]} -eq 0 ]; then
        text="The prefix has no USB port (the spooler lists ${PORTS_BEFORE[*]}), so port discovery chose the row of the serial ports, which come from the serial device map"
        if [ ${#SERIAL_BEFORE[@]} -gt 0 ]; then
            text+=" (${SERIAL_BEFORE[*]}); its first one is the port."
        else
            text+=", and that is empty here: no port was chosen."
        fi
        text+=" The USB port retry had no USB port to bind, so it asked \"$RETRY_BOX\" at once, and Cancel went on with the installation."
    else
        text="The installer bound the printer to the USB ports ${USB_BEFORE[*]} in turn; Wine never reports a printer on line, so on versions other than Windows 7 it asked \"$RETRY_BOX\"."
    fi
    if [ -z "$printer" ]; then
        text+=" No printer was added."
    else
        text+=" The printer was added on $port."
    fi
    case $RESULT_TEXT in
    "Completed!") text+=" The installer reported \"Completed!\"." ;;
    "") text+=" The installer showed no result box." ;;
    *) text+=" The installer listed what failed (above) instead of \"Completed!\"." ;;
    esac
    echo "What happened:"
    fold -s -w 88 <<<"$text" | sed 's/ *$//; s/^/  /'
}

# ---------------------------------------------------------------------------------------

run_init
if [ "$headless" = 1 ]; then
    use_virtual_desktop 1 || fail "setting up Wine's virtual desktop"
else
    use_virtual_desktop 0 || fail "switching Wine's virtual desktop off"
fi
say "Taking away what an earlier run installed in the prefix"
e2e_reset_prefix || fail "resetting the prefix"
# Every real Windows has this key, which holds the default printer; a new Wine prefix lacks it.
must "creating $E2E_WINDOWS_KEY" regkey "$E2E_WINDOWS_KEY"
record_before

if [ "$headless" = 1 ]; then
    typical_installation
    [ "$E2E_APP_STATUS" = 0 ] || echo "note: VexoSetup.exe ended with status $E2E_APP_STATUS"
    say "What the installer left in the prefix"
    report >"$REPORT"
    cat "$REPORT"
    echo "Pictures: ${SHOTS#"$root"/}/ (${SHOTS_TAKEN[*]})"
else
    say "Starting VexoSetup.exe on the display $DISPLAY; the script waits until the wizard ends"
    e2e_start_program "$E2E_INSTALLER_EXE" "$package" || fail "starting VexoSetup.exe"
    wait "$E2E_APP_PID" 2>/dev/null
    status=$?
    E2E_APP_PID=
    [ "$status" = 0 ] || echo "note: VexoSetup.exe ended with status $status"
    say "What the installer left in the prefix"
    report >"$REPORT"
    cat "$REPORT"
fi
