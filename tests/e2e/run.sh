#!/usr/bin/env bash
# End-to-end tests: a VexoSetup.exe under Wine in Xvfb, driven by the UI robot.
#
# usage: tests/e2e/run.sh [--target x64|x86|wow64] [BUILD_DIR] [NAME_PART...]
#   --target     x64: the windows-x64 program under wine64 (the default);
#                x86: the shipped windows-x86 program as 32-bit Windows (a win32 prefix);
#                wow64: the shipped windows-x86 program as 64-bit Windows (WoW64)
#   BUILD_DIR    the target's build (default build/windows-x64 or build/windows-x86;
#                configured if missing)
#   NAME_PART    run only the scenarios whose names contain one of these texts
# E2E_NO_BUILD=1 skips building and runs the programs that are there.
#
# Prints PASS, FAIL (with what was seen) or SKIP per scenario and ends with the line
# "TARGET: N passed, N failed"; the exit status is non-zero when a scenario failed. Where
# this machine cannot run 32-bit programs, the x86 and wow64 targets say why in one line
# and end with status 77 without running anything. Screenshots and logs go to
# build/e2e/artifacts-TARGET/.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
target=x64
if [ "${1:-}" = --target ]; then
    target=${2:-}
    shift 2 || true
fi
E2E_TARGET=$target
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
# shellcheck source=scripts/deps.sh
source "$E2E_SRC/scripts/deps.sh"
E2E_ARTIFACTS=$E2E_OUT/artifacts-$E2E_TARGET

label="$E2E_TARGET"
case $E2E_TARGET in
x64) echo "The windows-x64 VexoSetup.exe under wine64, as 64-bit Windows" ;;
x86) echo "The shipped windows-x86 VexoSetup.exe as 32-bit Windows (WINEARCH=win32)" ;;
wow64) echo "The shipped windows-x86 VexoSetup.exe as 64-bit Windows (WoW64 in a win64 prefix)" ;;
esac
if e2e_target_is_32bit; then
    why=$(vexo_32bit_refusal)
    if [ -n "$why" ]; then
        echo "$label: not run: $why"
        exit 77
    fi
fi

BUILD=${1:-$E2E_SRC/build/$E2E_PRESET}
[ $# -gt 0 ] && shift
ONLY=("$@")
e2e_build "$BUILD" vexo_robot vexo_e2e_fixture vexo_e2e_tcpmon vexo_e2e_configmodule VexoSetup VexoActions

E2E_ROBOT_EXE=$BUILD/tests/e2e/robot.exe
E2E_FIXTURE_EXE=$BUILD/tests/e2e/fixture.exe
E2E_TCPMON_DLL=$BUILD/tests/e2e/vexotcpmon.dll
E2E_CONFIG_DLL=$BUILD/tests/e2e/vexoconfigmodule.dll
E2E_INSTALLER_EXE=$BUILD/app/VexoSetup.exe
E2E_ACTIONS_DLL=$BUILD/msica/VexoActions.dll
[ -f "$E2E_INSTALLER_EXE" ] ||
    e2e_die "$E2E_INSTALLER_EXE is missing: build it with cmake --preset $E2E_PRESET && cmake --build build/$E2E_PRESET -j2"

OS_PAGE="Select OS (x86/x64)"
SETTINGS_PAGE="Detail Setting (x86/x64)"
FIXTURE="Robot Fixture 测试"

# Waits for the program to end and checks that it showed no window but the ones named.
expect_exit_showing_only() {
    local what=$1 allowed=$2 title
    if ! e2e_wait_exit 30; then
        e2e_fail_robot "$what: the program did not end"
        return 1
    fi
    while IFS= read -r title; do
        [ -z "$title" ] && continue
        [ "$title" = "$allowed" ] || e2e_fail "$what: a further window appeared: \"$title\""
    done <<<"$E2E_APP_SEEN"
    [ -z "$E2E_OTHER_WINDOWS" ] || e2e_fail "$what: another process opened a window: $E2E_OTHER_WINDOWS"
}

# ---------------------------------------------------------------------------------------
# The robot itself, on its fixture dialog

robot_drives_fixture() {
    e2e_start_program "$E2E_FIXTURE_EXE" || return 1
    expect_robot "fixture window" e2e_wait_window "$FIXTURE" || return 1
    expect_prop "$FIXTURE" 113 text "version=6.1" "Windows version of the default prefix"

    expect_prop "$FIXTURE" 101 checked 1 "initial radio"
    expect_prop "$FIXTURE" 102 checked 0 "other radio"
    expect_robot "click radio" click "$FIXTURE" 102
    expect_prop "$FIXTURE" 102 checked 1 "clicked radio"
    expect_prop "$FIXTURE" 101 checked 0 "radio of the same group"
    expect_robot "click check box" click "$FIXTURE" 103
    expect_prop "$FIXTURE" 115 text "check=1" "the program saw the check box click"

    expect_prop "$FIXTURE" 108 visible 0 "hidden button"
    expect_prop "$FIXTURE" 108 enabled 0 "disabled button"
    robot click "$FIXTURE" 108 && e2e_fail "clicking a hidden button should fail"

    expect_robot "combo items" combo "$FIXTURE" 105
    expect "combo items" '"alpha" "beta" "中文"' "${ROBOT_LINES[*]}"
    expect_robot "select combo item" comboselect "$FIXTURE" 105 "=中文"
    expect_prop "$FIXTURE" 111 text "combo=2" "the program saw the selection change"

    expect_robot "list rows" lvcount "$FIXTURE" 106
    expect "list rows" 3 "$ROBOT_VALUE"
    expect_robot "list text" lvtext "$FIXTURE" 106 2 1
    expect "list text of row 2, column 1" "Virtual USB 端口" "$ROBOT_VALUE"
    expect_robot "select row" lvselect "$FIXTURE" 106 1
    expect_prop "$FIXTURE" 112 text "row=1" "the program saw the row selected"
    expect_robot "row state" lvselected "$FIXTURE" 106 1
    expect "row 1 selected" 1 "$ROBOT_VALUE"
    expect_robot "row state" lvselected "$FIXTURE" 106 0
    expect "row 0 selected" 0 "$ROBOT_VALUE"

    expect_robot "set text" settext "$FIXTURE" 107 "hello 世界"
    expect_prop "$FIXTURE" 114 text "edit=hello 世界" "the program saw the text"
    expect_robot "type text" type "$FIXTURE" 107 "!"
    expect_prop "$FIXTURE" 114 text "edit=hello 世界!" "the program saw the typed character"

    # The click opens a modal message box; the robot must not wait for it to close.
    expect_robot "open message box" click "$FIXTURE" 104
    expect_robot "message box" msgbox "Fixture Box" "" 30000
    expect "message box text" $'Proceed?\n继续吗？' "$ROBOT_VALUE"
    expect_robot "answer Retry" answer "Fixture Box" 4 $'Proceed?\n继续吗？' 30000
    expect_prop "$FIXTURE" 110 text "answer=4" "the program got Retry"

    expect_robot "Esc" key "$FIXTURE" esc
    expect_exit_showing_only "Esc" "$FIXTURE"
    expect "exit code after Esc (IDCANCEL)" 2 "$E2E_APP_STATUS"
}

robot_keys_and_close_box() {
    e2e_start_program "$E2E_FIXTURE_EXE" || return 1
    expect_robot "fixture window" e2e_wait_window "$FIXTURE" || return 1
    expect_robot "Enter" key "$FIXTURE" enter
    expect_exit_showing_only "Enter" "$FIXTURE"
    expect "exit code after Enter (IDOK)" 1 "$E2E_APP_STATUS"

    e2e_set_windows_version win10 || return 1
    e2e_start_program "$E2E_FIXTURE_EXE" || return 1
    expect_robot "fixture window" e2e_wait_window "$FIXTURE" || return 1
    expect_prop "$FIXTURE" 113 text "version=6.2" "Windows 10 without a compatibility manifest"
    expect_robot "close box" close "$FIXTURE"
    expect_exit_showing_only "close box" "$FIXTURE"
    expect "exit code after the close box (IDCANCEL)" 2 "$E2E_APP_STATUS"
}

# ---------------------------------------------------------------------------------------
# The operating-system page

os_radios=(1000 1001 1002 1003 1004 1011 1020 1005 1006)

# Only the radio button of the detected version is checked.
expect_only_radio() {
    local want=$1 id
    for id in "${os_radios[@]}"; do
        if [ "$id" = "$want" ]; then
            expect_prop "$OS_PAGE" "$id" checked 1 "radio $id (the detected version)"
        else
            expect_prop "$OS_PAGE" "$id" checked 0 "radio $id"
        fi
    done
}

open_os_page() {
    e2e_start_installer || return 1
    expect_robot "the first page" e2e_wait_window "$OS_PAGE"
}

os_page_windows7() {
    open_os_page || return 1
    expect_only_radio 1005
    local id
    for id in 1000 1001 1002 1022 1023 1007 1008 1013; do
        expect_prop "$OS_PAGE" "$id" visible 0 "hidden control $id"
    done
    for id in 1003 1004 1011 1020 1005 1006 1009 1010; do
        expect_prop "$OS_PAGE" "$id" visible 1 "shown control $id"
    done
    expect_prop "$OS_PAGE" 1022 enabled 0 "USB driver button"
    expect_prop "$OS_PAGE" 1008 enabled 0 "Back button"
    expect_prop "$OS_PAGE" 1009 text "Install Printer Driver (&N) >"
    e2e_screenshot os-page-windows7
    robot click "$OS_PAGE" 1010 && e2e_wait_exit 30
}

os_page_windows10() {
    e2e_set_windows_version win10 || return 1
    open_os_page || return 1
    expect_only_radio 1006
    e2e_screenshot os-page-windows10
    robot click "$OS_PAGE" 1010 && e2e_wait_exit 30
}

# Leaving before installing ends the wizard with 1602, as Windows Installer's packages do.
os_page_exit() {
    open_os_page || return 1
    expect_robot "click Exit" click "$OS_PAGE" 1010 || return 1
    expect_exit_showing_only "Exit" "$OS_PAGE"
    expect "the exit code after Exit on the first page" 1602 "$E2E_APP_CODE"
}

os_page_escape() {
    open_os_page || return 1
    expect_robot "press Esc" key "$OS_PAGE" esc || return 1
    expect_exit_showing_only "Esc" "$OS_PAGE"
}

os_page_close_box() {
    open_os_page || return 1
    expect_robot "close box" close "$OS_PAGE" || return 1
    expect_exit_showing_only "close box" "$OS_PAGE"
}

# Leaves the settings page through its Exit button, which ends the installer.
leave_settings_page() {
    expect_robot "Exit on the settings page" click "$SETTINGS_PAGE" 1010 || return 1
    expect_exit_showing_only "Exit on the settings page" "$SETTINGS_PAGE"
}

os_page_install() {
    open_os_page || return 1
    expect_robot "click Install Printer Driver" click "$OS_PAGE" 1009 || return 1
    expect_robot "the settings page" e2e_wait_window "$SETTINGS_PAGE" 30 || return 1
    expect_robot "the first page has closed" waitgone "$OS_PAGE" 10000
    e2e_screenshot settings-page
    leave_settings_page
}

# Enter, wherever the page put the focus (under Wine: the checked radio button, which
# checking gives the tab stop), is the page's OK.
os_page_enter() {
    open_os_page || return 1
    expect_robot "press Enter" key "$OS_PAGE" enter || return 1
    expect_robot "the settings page" e2e_wait_window "$SETTINGS_PAGE" 30 || return 1
    leave_settings_page
}

# ---------------------------------------------------------------------------------------
# Without a display

# A Wine session begun without a display has no window driver, so the first page cannot be
# created: the installer must end with a non-zero status and say why in its debugger
# output, not end quietly as if it had done its work.
no_display_is_reported() {
    local out=$E2E_RUN_DIR/no-display.log status
    e2e_stop_robot
    # The prefix's processes (the desktop among them) were all started by this run.
    "$E2E_WINESERVER" -k 2>/dev/null
    e2e_wine_wait
    # Wine prints the debugger output on its "seh" channel (warn:seh:OutputDebugStringA).
    (cd "$E2E_PACKAGE" && exec env -u DISPLAY WINEDEBUG=warn+seh timeout 120 \
        "$E2E_WINE" "$E2E_INSTALLER_EXE") >"$out" 2>&1
    status=$?
    "$E2E_WINESERVER" -k 2>/dev/null
    e2e_wine_wait
    e2e_start_robot
    cat "$out" >>"$E2E_ARTIFACTS/app.log"
    if [ "$status" = 124 ]; then
        e2e_fail "the installer did not end within 2 minutes without a display"
        return 1
    fi
    [ "$status" != 0 ] || e2e_fail "the installer ended with status 0 without a display"
    grep -q 'VexoSetup: The installer could not open its window (dialog 129): ' "$out" ||
        e2e_fail "no debugger line about the first page; Wine printed:"$'\n'"$(tail -n 20 "$out")"
}

# ---------------------------------------------------------------------------------------

scenarios=(
    "robot drives the fixture's controls and a message box:robot_drives_fixture"
    "robot: Enter, close box and Windows version on the fixture:robot_keys_and_close_box"
    "OS page under Wine's default version (Windows 7):os_page_windows7"
    "OS page under Windows 10 (reported as 6.2):os_page_windows10"
    "OS page: Exit ends the installer:os_page_exit"
    "OS page: Esc ends the installer:os_page_escape"
    "OS page: the close box ends the installer:os_page_close_box"
    "OS page: Install Printer Driver opens the settings page:os_page_install"
    "OS page: Enter opens the settings page:os_page_enter"
    "without a display the installer ends with an error and says why:no_display_is_reported"
)
# shellcheck source=tests/e2e/scenarios-install.sh
source "$here/scenarios-install.sh"
# shellcheck source=tests/e2e/scenarios-cli.sh
source "$here/scenarios-cli.sh"
if [ "$E2E_TARGET" = x86 ]; then
    # shellcheck source=tests/e2e/scenarios-msi.sh
    source "$here/scenarios-msi.sh"
fi

selected() {
    local name=$1 part
    [ ${#ONLY[@]} -eq 0 ] && return 0
    for part in "${ONLY[@]}"; do
        [[ $name == *"$part"* ]] && return 0
    done
    return 1
}

e2e_init
start=$SECONDS
for entry in "${scenarios[@]}"; do
    name=${entry%:*}
    selected "$name" || continue
    scenario "$name" "${entry##*:}"
done
e2e_log "scenarios took $((SECONDS - start)) s"
e2e_summary "$label"
