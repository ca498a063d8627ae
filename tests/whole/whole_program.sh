#!/usr/bin/env bash
# Whole-program tests: the real setup.exe (built with a test payload) runs under Wine in a fresh
# prefix and is driven from outside like a user would; the test then checks files, registry,
# shortcuts, the product's start, the exit code and pixels of screenshots.
#   whole_program.sh SCENARIO     (SETUP, DRIVER, WINE_TEMPLATE, SCREENSHOTS from the environment)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/scripts/wine-lib.sh"
scenario=$1

# A display of its own: screenshots must show this test's window alone.
wine_own_display "$0" "$@"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { if eval "$1"; then pass "$2"; else fail "$2"; fi; }

# Ids of the controls (commands 1000-1009; the others 1100 + member index).
CLOSE=1000 INSTALL=1001 AGREE=1002 CUSTOM=1004 FINISH=1006 CONTACT=1007
SHORTCUT=1008 LAUNCH=1009 PATH_EDIT=1108 STATUS=1110 BAR=1111 TITLE=1100

drive() { wine "$DRIVER" "$@" 2>/dev/null | tr -d '\r'; }

open_sandbox() {  # LANG(en|zh) DPI
    wine_sandbox_open "$WINE_TEMPLATE"
    local locale=en_US.UTF-8
    [ "$1" = zh ] && locale=zh_CN.UTF-8
    export LC_ALL=$locale LANG=$locale
    if [ "$2" != 96 ]; then
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$2" /f >/dev/null 2>&1
    fi
    drive_c=$WINEPREFIX/drive_c
    user_dir=$(ls -d "$drive_c"/users/*/ | grep -v -i public | head -n 1)
}

start_setup() {  # args...
    wine "$SETUP" "$@" >/dev/null 2>&1 &
    setup_pid=$!
    drive wait-main 30000 >/dev/null || fail "the window did not open"
}

wait_setup() {  # [expected exit code, 0 unless given]
    local expected=${1:-0} waited=0
    while kill -0 "$setup_pid" 2>/dev/null && [ $waited -lt 600 ]; do sleep 0.1; waited=$((waited + 1)); done
    if kill -0 "$setup_pid" 2>/dev/null; then
        fail "setup.exe did not end"
        kill "$setup_pid" 2>/dev/null
        return
    fi
    wait "$setup_pid"
    local code=$?
    check "[ $code -eq $expected ]" "setup.exe exits with $expected (got $code)"
}

visible() { [ "$(drive visible "$1")" = 1 ]; }

has_uninstall_key() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VivevaDiz' >/dev/null 2>&1
}
uninstall_key() { wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VivevaDiz' 2>/dev/null | tr -d '\r'; }

# Pixels are read from the last screenshot, so that every check sees the picture that was saved.
last_shot=""
window_x=0
window_y=0

# Colour of one screen pixel of the last screenshot as RRGGBB.
pixel() {  # x y (screen coordinates)
    /usr/bin/convert "$last_shot" -crop "1x1+$(($1 - window_x))+$(($2 - window_y))" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | head -n 1 | tr 'a-f' 'A-F'
}

# Darkest pixel of a control's area in the last screenshot, as RRGGBB: the core of its text.
darkest() {  # id
    local x y w h
    read -r x y w h < <(drive control-rect "$1")
    /usr/bin/convert "$last_shot" -crop "${w}x${h}+$((x - window_x))+$((y - window_y))" -depth 8 txt:- 2>/dev/null |
        python3 -c '
import re, sys
colours = re.findall(r"#([0-9A-Fa-f]{6})", sys.stdin.read())
print(min(colours, key=lambda c: sum(int(c[i:i + 2], 16) for i in (0, 2, 4))).upper() if colours else "")'
}

near() {  # RRGGBB RRGGBB tolerance
    local a=$1 b=$2 t=$3 i
    [ ${#a} -eq 6 ] && [ ${#b} -eq 6 ] || return 1
    for i in 0 2 4; do
        local d=$(( 16#${a:$i:2} - 16#${b:$i:2} ))
        [ ${d#-} -le "$t" ] || return 1
    done
}

screenshot() {  # name [still: setup.exe is stopped, shoot what is on the screen now]
    mkdir -p "$SCREENSHOTS"
    if [ -z "${2:-}" ]; then
        drive idle
        sleep 0.5
    fi
    local w h
    read -r window_x window_y w h < <(drive rect)
    last_shot="$SCREENSHOTS/$1.png"
    import -window root -display "$DISPLAY" -crop "${w}x${h}+$window_x+$window_y" +repage "$last_shot" 2>/dev/null ||
        fail "screenshot $1"
}

# Pages that do not move while they are shown look exactly as the committed screenshots in
# docs/screenshots/, which were taken before the keyboard was supported: a mouse user sees no
# difference. A page without its committed screenshot fails: a comparison that cannot run is not
# passed.
check_as_committed() {  # name
    local committed="$root/docs/screenshots/$1.png"
    if [ ! -f "$committed" ]; then
        fail "$1 has a committed screenshot to compare with (docs/screenshots/$1.png is missing)"
        return
    fi
    local differing
    differing=$(/usr/bin/compare -metric AE "$last_shot" "$committed" null: 2>&1)
    check "[ '$differing' = 0 ]" "$1 is pixel for pixel the committed screenshot ($differing differ)"
}

# The focus cue on control ID, which lies along its edges (around the text of a check box, whose
# text reaches the right edge) UnitsToPixels(1, dpi) wide: the middle of its top row and of each
# of its right columns, dark or not.
check_cue() {  # id dpi shown|hidden what
    local x y w h i colour t=$((($2 + 48) / 96)) dark=0
    read -r x y w h < <(drive control-rect "$1")
    for colour in "$(pixel $((x + w * 3 / 4)) "$y")" \
        $(for ((i = 1; i <= t; i++)); do pixel $((x + w - i)) $((y + h / 2)); done); do
        near "$colour" 2B3440 0 && dark=$((dark + 1))
    done
    if [ "$3" = shown ]; then
        check "[ $dark -eq $((t + 1)) ]" "$4: the focus cue, $t pixel(s) wide, in #2b3440"
    else
        check "[ $dark -eq 0 ]" "$4: no focus cue"
    fi
}

# The fill of a yellow button away from its text and rounded ends, and a corner outside the pill.
check_yellow_button() {  # id state-name
    local x y w h
    read -r x y w h < <(drive control-rect "$1")
    local fill corner
    fill=$(pixel $((x + w / 6)) $((y + h / 2)))
    corner=$(pixel $((x + 1)) $((y + 1)))
    check "near '$fill' FFD521 2" "$2 button is #FFD521 (got $fill)"
    check "near '$corner' FFFFFF 8" "$2 button's corner is white (got $corner)"
}

wait_for_file() {  # path seconds
    local i
    for ((i = 0; i < $2 * 10; i++)); do [ -e "$1" ] && return 0; sleep 0.1; done
    return 1
}

start_menu_folder() { echo "$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Marlin Data Recovery"; }

installed_dir() { echo "$drive_c/$1"; }

desktop_link() {
    if [ "$1" = zh ]; then echo "$user_dir/Desktop/马林iOS数据恢复.lnk"; else echo "$user_dir/Desktop/Marlin Data Recovery (iOS).lnk"; fi
}

scenario_welcome_pages() {
    open_sandbox en 96
    start_setup
    check "visible $INSTALL" "no argument: the welcome page's Install button shows"
    check "! visible $FINISH" "no argument: no Finish button"
    drive click $CLOSE
    drive wait-gone 10000 || fail "the close button closes the welcome page"
    wait_setup

    start_setup "C:\\only-one"
    check "visible $INSTALL" "one argument: still the welcome page"
    drive alt-f4
    drive wait-gone 10000 || fail "Alt+F4 closes the welcome page"
    wait_setup
    check "[ ! -e '$drive_c/only-one' ]" "one argument installs nothing"
}

scenario_command_line_install() {
    open_sandbox en 96
    start_setup "C:\\Program Files\\Whole Test" go
    check "[ \"\$(drive text $PATH_EDIT)\" = 'C:\\Program Files\\Marlin\\MarlinDataRecoveryiOS' ]" \
        "the path edit keeps the default folder"
    drive wait-visible $FINISH 60000 || fail "the success page shows"
    local dir="$drive_c/Program Files/Whole Test"
    check "[ -f '$dir/vivevadiz.exe' ] && [ -f '$dir/data/d40/f60.txt' ]" "the payload is installed"
    check "uninstall_key | grep -q 'UninstallString.*\"C:.*uninstall.exe\"'" "the Uninstall entry is written"
    check "[ -f \"$(start_menu_folder)/Marlin Data Recovery (iOS).lnk\" ]" "the Start-menu shortcut is made"
    drive click $CLOSE
    drive wait-gone 10000 || fail "the close button closes the success page"
    wait_setup
    check "[ -f \"$(desktop_link en)\" ]" "closing the success page makes the desktop shortcut"
    check "wait_for_file '$dir/launched.txt' 20" "closing the success page starts the product"
}

scenario_install_without_agreement() {
    open_sandbox en 96
    start_setup
    drive click $AGREE
    drive set-text $PATH_EDIT 'C:\agreeless'
    drive click $INSTALL
    drive wait-visible $FINISH 60000 || fail "installing without the agreement box still succeeds"
    check "[ -f '$drive_c/agreeless/vivevadiz.exe' ]" "the files are there"
    drive click $SHORTCUT
    drive click $LAUNCH
    drive click $FINISH
    drive wait-gone 10000 || fail "Finish closes the window"
    wait_setup
    check "[ ! -e \"$(desktop_link en)\" ]" "both boxes cleared: no desktop shortcut"
    sleep 2
    check "[ ! -e '$drive_c/agreeless/launched.txt' ]" "both boxes cleared: the product is not started"
}

# An installation into DIR cancelled by closing its window: earlier files stay, the last entry and
# the registration never come.
check_cancelled() {  # dir
    local written
    written=$(find "$1" -type f 2>/dev/null | wc -l)
    check "[ $written -gt 0 ]" "files written before the cancel stay ($written)"
    check "[ ! -e '$1/vivevadiz.exe' ]" "the installation stopped before its last entry"
    check "! has_uninstall_key" "no Uninstall entry after a cancel"
    check "[ ! -e \"$(start_menu_folder)\" ]" "no Start-menu entry after a cancel"
}

scenario_cancel_while_installing() {
    open_sandbox en 96
    start_setup
    drive set-text $PATH_EDIT 'C:\cancelled'
    drive click $INSTALL
    drive click $CLOSE
    check "visible $STATUS" "the close button is inert on the installing page"
    drive alt-f4
    drive wait-gone 20000 || fail "Alt+F4 closes the installing page"
    wait_setup 3
    check_cancelled "$drive_c/cancelled"
}

# The product still runs from the install folder when a command-line update into it begins. It
# holds the payload's first entry open without sharing, as Windows holds a running program's
# files, so the update succeeds only if the product is gone before the first file is written.
scenario_update_running_product() {
    open_sandbox en 96
    local dir="$drive_c/Running" first='data\d10\f1.txt'
    mkdir -p "$dir/data/d10"
    cp "$SLEEPER" "$dir/vivevadiz.exe"
    wine "$dir/vivevadiz.exe" 'C:\Running\'"$first" >/dev/null 2>&1 &
    local product=$!
    wait_for_file "$dir/data/d10/f1.txt" 20 || fail "the product holds the first entry's file"
    start_setup 'C:\Running' go
    drive wait-visible $FINISH 60000 || fail "the update over the running product ends on the success page"
    check "[ \"\$(drive count-processes vivevadiz.exe)\" = 0 ]" "the running product was ended"
    wait "$product"
    check "[ \"\$(head -n 1 '$dir/data/d10/f1.txt')\" = 10.1 ] && ! cmp -s '$SLEEPER' '$dir/vivevadiz.exe'" \
        "the new files replace the old, the held one and the product's program included"
    drive click $CLOSE
    drive wait-gone 10000 || fail "the close button closes the success page"
    wait_setup
}

scenario_failure_page() {
    open_sandbox en 96
    mkdir -p "$drive_c" && echo blocker > "$drive_c/blocked"
    start_setup
    drive set-text $PATH_EDIT 'C:\blocked\inside'
    drive click $INSTALL
    drive wait-visible $CONTACT 60000 || fail "a folder that cannot be made shows the failure page"
    check "! visible $FINISH" "no Finish button on the failure page"
    drive click $CLOSE
    drive wait-gone 10000 || fail "the close button closes the failure page"
    wait_setup 2
    check "[ ! -e \"$(desktop_link en)\" ]" "closing the failure page makes no shortcut"
    check "! has_uninstall_key" "no Uninstall entry after a failure"
    check "[ ! -e \"$(start_menu_folder)\" ]" "no Start-menu entry after a failure"
}

# Keyboard only, with real key presses: Tab to the custom section, type the folder into the path
# edit, Enter installs; on the success page both boxes are cleared with Space and Enter on Finish
# ends. The focus cue shows only once a key has been pressed.
scenario_keyboard() {  # dpi
    local dpi=$1
    open_sandbox en "$dpi"
    local dir="$drive_c/keyboard"
    start_setup
    check "[ \"\$(drive focus)\" = $INSTALL ]" "the welcome page starts on Install"
    screenshot "8_keyboard_untouched_en_$dpi"
    check_cue $INSTALL "$dpi" hidden "Install, focused before any key"
    drive keys Tab
    drive wait-focus $AGREE 5000 || fail "Tab goes to the agreement box"
    screenshot "8_keyboard_agree_en_$dpi"
    check_cue $AGREE "$dpi" shown "the agreement box after Tab"
    drive keys shift+Tab shift+Tab
    drive wait-focus $CLOSE 5000 || fail "Shift+Tab wraps round to the close button"
    drive keys Tab
    drive wait-focus $INSTALL 5000 || fail "Tab wraps round to Install"
    screenshot "8_keyboard_install_en_$dpi"
    check_cue $INSTALL "$dpi" shown "Install once the keyboard is used"

    drive keys Tab Tab Tab
    drive wait-focus $CUSTOM 5000 || fail "the third Tab reaches the custom installation"
    drive keys space Tab
    drive wait-focus $PATH_EDIT 5000 || fail "Space opens the custom section, Tab reaches its edit"
    drive type 'C:\keyboard'
    drive wait-text $PATH_EDIT 'C:\keyboard' 5000 || fail "the typed folder replaces the selected one"
    drive keys Return
    drive wait-visible $FINISH 60000 || fail "Enter in the path edit installs"
    check "[ -f '$dir/vivevadiz.exe' ] && [ -f '$dir/data/d40/f60.txt' ]" "installed into the typed folder"

    drive wait-focus $FINISH 5000 || fail "the success page starts on Finish"
    drive keys Tab space Tab space shift+Tab shift+Tab
    drive wait-focus $FINISH 5000 || fail "Shift+Tab goes back to Finish"
    drive keys Return
    drive wait-gone 10000 || fail "Enter on Finish closes the window"
    wait_setup
    check "[ ! -e \"$(desktop_link en)\" ]" "both boxes cleared: no desktop shortcut"
    sleep 2
    check "[ ! -e '$dir/launched.txt' ]" "both boxes cleared: the product is not started"
}

scenario_keyboard_escape() {
    open_sandbox en 96
    start_setup
    drive keys Escape
    drive wait-gone 10000 || fail "Esc closes the welcome page"
    wait_setup

    start_setup
    drive set-text $PATH_EDIT 'C:\escaped'
    drive keys Return Escape
    drive wait-visible $STATUS 5000 || fail "Enter on Install starts the installation"
    drive idle
    check "visible $STATUS" "Esc is inert on the installing page, like the close button"
    drive alt-f4
    drive wait-gone 20000 || fail "Alt+F4 still closes the installing page"
    wait_setup 3
}

# A command-line installation seen while it runs: setup.exe is stopped (SIGSTOP) as soon as its
# status line names a file and its bar shows a fill, so the page can be looked at mid-run; closing
# the page then cancels the installation.
scenario_updating_page_closed() {
    open_sandbox en 96
    start_setup 'C:\updating' go
    local dir="$drive_c/updating" text="" fill="" track="" x y w h i
    for ((i = 0; i < 100; i++)); do
        kill -STOP "$setup_pid"
        text=$(drive stored-text $STATUS)
        if [[ "$text" == data\\* ]]; then
            screenshot "7_updating_running_en_96" still
            read -r x y w h < <(drive control-rect $BAR)
            fill=$(pixel $((x + 2)) $((y + h / 2)))
            # The bar ends where the percentage column (47 units) begins.
            track=$(pixel $((x + w - 47 - 3)) $((y + h / 2)))
            near "$fill" FFD521 2 && near "$track" FFFFFF 2 && break
        fi
        kill -CONT "$setup_pid"
        sleep 0.02
    done
    check "[[ '$text' == data\\\\* ]]" "the status line names the file being written ($text)"
    check "near '$fill' FFD521 2" "the bar's fill is painted while the installation runs (got $fill)"
    check "near '$track' FFFFFF 2" "the rest of the bar is still empty (got $track)"
    check "visible $STATUS && visible $BAR" "the updating page shows the status line and the bar"
    check "! visible $INSTALL" "the Install button is hidden"
    drive click $CLOSE
    kill -CONT "$setup_pid"
    drive wait-gone 20000 || fail "the close button closes the updating page"
    wait_setup 3
    check_cancelled "$dir"
}

# Every page in one language at one DPI, saved as screenshots, with a few pixels checked.
scenario_tour() {  # lang dpi
    local lang=$1 dpi=$2 tag="$1_$2"
    open_sandbox "$lang" "$dpi"
    start_setup
    screenshot "1_welcome_$tag"
    check_as_committed "1_welcome_$tag"
    check_yellow_button $INSTALL "Install"
    drive click $CUSTOM
    screenshot "1_welcome_custom_$tag"
    check_as_committed "1_welcome_custom_$tag"
    check "visible $PATH_EDIT" "the custom section shows the path edit"
    drive set-text $PATH_EDIT 'C:\tour'
    drive click $INSTALL
    screenshot "2_installing_$tag"
    drive wait-visible $FINISH 60000 || fail "the success page shows"
    screenshot "5_succeeded_$tag"
    check_as_committed "5_succeeded_$tag"
    check_yellow_button $FINISH "Finish"
    local title
    title=$(darkest $TITLE)
    check "near '$title' 2B3440 24" "the title turns #2b3440 on the success page (got $title)"
    drive click $SHORTCUT
    drive click $LAUNCH
    drive click $FINISH
    drive wait-gone 10000 || fail "Finish closes the window"
    wait_setup

    echo blocker > "$drive_c/blocked"
    start_setup 'C:\blocked\inside' go
    drive wait-visible $CONTACT 60000 || fail "the failure page shows"
    screenshot "6_failed_$tag"
    check_as_committed "6_failed_$tag"
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup 2

    start_setup 'C:\tour-updating' go
    screenshot "7_updating_$tag"
    drive wait-visible $FINISH 60000 || fail "the command-line installation succeeds"
    drive click $SHORTCUT
    drive click $LAUNCH
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup
}

case $scenario in
    tour_*) IFS=_ read -r _ lang dpi <<<"$scenario"; scenario_tour "$lang" "$dpi" ;;
    keyboard_[0-9]*) scenario_keyboard "${scenario#keyboard_}" ;;
    *) "scenario_$scenario" ;;
esac
wine_sandbox_close
echo "$failures failed"
[ $failures -eq 0 ]
