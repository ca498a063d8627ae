#!/usr/bin/env bash
# Whole-program tests: the real setup.exe (built with a test payload) runs under Wine in a fresh
# prefix and is driven from outside like a user would; the test then checks files, registry,
# shortcuts, the product's start, the exit code and pixels of screenshots.
#   whole_program.sh SCENARIO     (SETUP, DRIVER, WINE_TEMPLATE, SCREENSHOTS from the environment)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/scripts/wine-lib.sh"
. "$here/unattended.sh"
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
    start_installer "$SETUP" "$@"
}

start_installer() {  # setup.exe args...
    wine "$@" >/dev/null 2>&1 &
    setup_pid=$!
    drive wait-main 30000 >/dev/null && return 0
    # An installer that ended without a window says why by its exit code.
    if kill -0 "$setup_pid" 2>/dev/null; then fail "the window did not open"; return; fi
    wait "$setup_pid"
    fail "the window did not open: setup.exe ended with $?"
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

# An installation into DIR cancelled by closing its window: nothing of it is left, not the
# folder, not the registration.
check_cancelled() {  # dir
    check "[ ! -e '$1' ]" "nothing of the cancelled installation is left"
    check_no_leftovers
    check "! has_uninstall_key" "no Uninstall entry after a cancel"
    check "[ ! -e \"$(start_menu_folder)\" ]" "no Start-menu entry after a cancel"
}

scenario_cancel_while_installing() {
    open_sandbox en 96
    start_setup
    drive set-text $PATH_EDIT 'C:\cancelled'
    drive click $INSTALL
    # Held from its first data file on and let go only in steps, so that the driver's own time,
    # which grows with the machine's load, never lets the run go by.
    stop_mid_run 'd'
    drive click $CLOSE
    run_steps 20
    check "visible $STATUS" "the close button is inert on the installing page"
    # Closed while files are still being staged: once the final step has begun it completes.
    stop_mid_run
    drive alt-f4
    kill -CONT "$setup_pid"
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
    # Closed while files are still being staged: once the final step has begun it completes.
    stop_mid_run
    check "visible $STATUS" "Esc is inert on the installing page, like the close button"
    drive alt-f4
    kill -CONT "$setup_pid"
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

# --- An installation either completes or changes nothing -----------------------------------------
# Version 1 of the test product is installed into C:\Product (or Q:\Product on a small drive); each
# scenario then has version 2 (SETUP_V2: changed, new and identical files, new folders, version
# "2.1.0") or its copy with a corrupt entry near the end (SETUP_V2_BROKEN) fail in one way, and
# checks that the folder and the Uninstall entry are still version 1's.

# What a folder holds, byte for byte: every item's name, type and mode, every file's size, time and
# contents. (A folder's own time changes with whatever comes and goes in it.) A staging folder at
# the top is left out: check_no_leftovers looks for those.
tree_state() {  # dir
    (cd "$1" 2>/dev/null &&
        find . -path './~setup~*' -prune -o \( -type d -printf '%p %y %m\n' \) -o -printf '%p %y %s %m %T@\n' |
        LC_ALL=C sort &&
        find . -path './~setup~*' -prune -o -type f -print0 | LC_ALL=C sort -z | xargs -0 -r md5sum)
}

check_no_leftovers() {
    check "[ -z \"\$(find '$drive_c' '$WINE_SANDBOX/drive-q/' -iname '~setup~*' 2>/dev/null | head -n 1)\" ]" \
        "no staged or set-aside file is left"
    check "! wine reg query 'HKLM\\Software\\VivevaDiz\\InstallInProgress' >/dev/null 2>&1" \
        "no journal of an installation in progress is left"
}

install_v1() {  # windows-folder unix-folder
    product_dir=$2
    start_setup "$1" go
    drive wait-visible $FINISH 60000 || fail "version 1 installs"
    # The product would write its start into the folder, the desktop shortcut is not the folder's.
    drive click $SHORTCUT
    drive click $LAUNCH
    drive click $CLOSE
    drive wait-gone 10000 || fail "version 1's success page closes"
    wait_setup
    v1_tree=$(tree_state "$product_dir")
    v1_key=$(uninstall_key)
    check "uninstall_key | grep -q 'DisplayVersion.*2\.0\.0'" "version 1 is registered"
}

check_still_v1() {  # what
    if [ -n "$v1_tree" ] && [ "$(tree_state "$product_dir")" = "$v1_tree" ]; then
        pass "$1: the folder is version 1's, byte for byte"
    else
        fail "$1: the folder is version 1's, byte for byte"
        diff <(echo "$v1_tree") <(tree_state "$product_dir") | head -n 10
    fi
    check "[ \"\$(uninstall_key)\" = \"\$v1_key\" ]" "$1: the Uninstall entry is version 1's"
    check_no_leftovers
}

# Runs an installer that is to fail: its failure page shows, is closed, and it exits with 2.
expect_failure() {  # what setup.exe args...
    local what=$1
    shift
    start_installer "$@"
    drive wait-visible $CONTACT 60000 || fail "$what shows the failure page"
    drive click $CLOSE
    drive wait-gone 10000 || fail "$what: the failure page closes"
    wait_setup 2
}

# Lets a stopped setup.exe run COUNT times 10 ms, and stops it again.
run_steps() {  # count
    local i
    for ((i = 0; i < $1; i++)); do
        kill -CONT "$setup_pid"
        sleep 0.01
        kill -STOP "$setup_pid"
    done
}

# Stops setup.exe once its status line names a data file, so that it is known to be mid-run.
stop_mid_run() {
    local i text=""
    for ((i = 0; i < 400; i++)); do
        kill -STOP "$setup_pid"
        text=$(drive stored-text $STATUS)
        [[ "$text" == data\\d[2-9]* ]] && break
        kill -CONT "$setup_pid"
        sleep 0.01
    done
    check "[[ '$text' == data\\\\d[2-9]* ]]" "stopped while it writes ($text)"
}

# A RAM-backed drive Q: of the prefix, mounted with OPTIONS; false (the scenario is then skipped)
# where the system refuses to mount it.
small_drive=""
mount_small_drive() {  # tmpfs-options
    small_drive=$WINE_SANDBOX/drive-q
    mkdir -p "$small_drive"
    mount -t tmpfs -o "$1" sandbox-drive "$small_drive" 2>/dev/null || { small_drive=""; return 1; }
    ln -s "$small_drive" "$WINEPREFIX/dosdevices/q:"
}
unmount_small_drive() {
    [ -n "$small_drive" ] || return 0
    all_ended
    umount "$small_drive"
}
skip() { echo "SKIPPED: $*"; wine_sandbox_close; exit 77; }

# Every program of the prefix has ended, within a minute.
all_ended() { timeout 60 wineserver -w || fail "the prefix's programs still ran after 60 s"; }

# The archive's first word, as hex: format 1's entry count, or format 2's 80000002.
archive_word() { od -An -tx4 -N4 "$1" | tr -d ' '; }

scenario_update_broken_entry() {
    open_sandbox en 96
    check "[ \$(( 0x\$(archive_word '$PAYLOAD_DAT') >> 31 )) -eq 0 ] && [ \"\$(archive_word '${V2_BROKEN_ENTRY%.entry}')\" = 80000002 ]" \
        "version 1 is packed as format 1, version 2 as format 2"
    install_v1 'C:\Product' "$drive_c/Product"
    expect_failure "a corrupt entry near the end" "$SETUP_V2_BROKEN" 'C:\Product' go
    check_still_v1 "a corrupt entry near the end"

    # Unattended, the log names the entry the damaged block fails at (the first of its contents)
    # and why.
    local broken="$drive_c/broken.log" first
    first=$(cat "$V2_BROKEN_ENTRY")
    run_unattended "\"$(windows_path "$SETUP_V2_BROKEN")\" /S /LOG=C:\\broken.log /D=C:\\Product"
    check "[ $rc -eq 2 ]" "a damaged solid block: exit 2 (got $rc)"
    check_still_v1 "a damaged solid block"
    check "log_matches '$broken' 'failed: entry $(re "$first"): a block (whose decoded bytes fail their check|that is not a valid .+)'" \
        "the log names the entry the damaged block fails at ($first) and the reason"

    expect_failure "a fresh installation with a corrupt entry" "$SETUP_V2_BROKEN" 'C:\Fresh\Product' go
    check "[ ! -e '$drive_c/Fresh' ]" "a failed fresh installation leaves no folder, nor the one above it"

    # The same update whole changes the folder: the checks above could see a change.
    local unchanged
    unchanged=$(tree_state "$product_dir/data/d20")
    echo mine >"$product_dir/notes.txt"
    start_installer "$SETUP_V2" 'C:\Product' go
    drive wait-visible $FINISH 60000 || fail "version 2 installs over version 1"
    check "[ \"\$(tree_state '$product_dir')\" != \"\$v1_tree\" ]" "version 2 changes the folder"
    check "uninstall_key | grep -q 'DisplayVersion.*2\.1\.0'" "version 2 is registered"
    check "grep -q '^v2 1.1' '$product_dir/data/d1/f1.txt' && [ -f '$product_dir/plugins/p20/plugin.dll' ]" \
        "changed and new files are in place"
    check "[ \"\$(tree_state '$product_dir/data/d20')\" = \"\$unchanged\" ]" \
        "files that did not change are left alone, times and all"
    check_has_only v2 "the update"
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup
    check_no_leftovers
    check_uninstalled "after the update"

    # A downgrade retires what the newer version had. Version 2 goes first into the folder the
    # user's file keeps: no list there, so nothing to retire, and the log says so.
    local log="$drive_c/downgrade.log"
    run_unattended "\"$(windows_path "$SETUP_V2")\" /S /LOG=C:\\downgrade.log /D=C:\\Product"
    check "[ $rc -eq 0 ]" "version 2 installs beside the user's file (got $rc)"
    check "log_has '$log' 'retired files: the installed version has no readable uninstall.lst, nothing retired'" \
        "without an installed list nothing is retired, and the log says so"
    run_unattended "\"$(windows_path "$SETUP")\" /S /LOG=C:\\downgrade.log /D=C:\\Product"
    check "[ $rc -eq 0 ]" "version 1 installs over version 2 (got $rc)"
    check "uninstall_key | grep -q 'DisplayVersion.*2\.0\.0'" "version 1 is registered"
    check_has_only v1 "the downgrade"
    check "log_has '$log' 'retired files: 41 listed by the installed version and not in this one'" \
        "the log counts the files retired"
    check_no_leftovers
    check_uninstalled "after the downgrade"
}

# The folder holds exactly the payload of version v1 or v2, byte for byte (its list, and the
# product's record of its start, aside) and the user's notes.txt: what the other version alone had
# is gone, files and folders.
folder_content() {  # dir
    (cd "$1" && find . -mindepth 1 -path './~setup~*' -prune -o -type d -printf 'folder %p\n' &&
        find . -path './~setup~*' -prune -o -type f ! -name uninstall.lst ! -name launched.txt -print0 |
        xargs -0 md5sum) | LC_ALL=C sort
}
check_has_only() {  # v1|v2 what
    local want got payload=$V2_PAYLOAD
    [ "$1" = v1 ] && payload=$V1_PAYLOAD
    want=$( (folder_content "$payload"; echo "$(echo mine | md5sum | cut -d' ' -f1)  ./notes.txt") | LC_ALL=C sort)
    got=$(folder_content "$product_dir")
    if [ -n "$want" ] && [ "$want" = "$got" ]; then
        pass "$2: the folder is $1's and the user's file, byte for byte, nothing else"
    else
        fail "$2: the folder is $1's and the user's file, byte for byte, nothing else"
        diff <(echo "$want") <(echo "$got") | head -n 10
    fi
}

# uninstall.exe /S leaves the user's file alone, and nothing else: no installed file, no made folder.
check_uninstalled() {  # what
    run_within 120 uninstall.exe 'C:\Product\uninstall.exe' /S
    local code=$?
    all_ended
    check "[ $code -eq 0 ]" "$1: uninstall.exe /S succeeds (got $code)"
    check "[ \"\$(cd '$product_dir' && find . -mindepth 1 ! -name launched.txt)\" = ./notes.txt ]" \
        "$1: only the user's file is left ($(cd "$product_dir" && find . -mindepth 1 | head -n 3 | tr '\n' ' '))"
}

scenario_update_held_file() {
    open_sandbox en 96
    install_v1 'C:\Product' "$drive_c/Product"
    # Another program (not the product, which the installer ends) holds a file that changes.
    hold 'C:\Product\data\d3\f7.txt'
    expect_failure "a file held by another program" "$SETUP_V2" 'C:\Product' go
    end_holder
    check_still_v1 "a file held open by another program"
}

scenario_update_closed_mid_run() {
    open_sandbox en 96
    install_v1 'C:\Product' "$drive_c/Product"
    start_installer "$SETUP_V2" 'C:\Product' go
    stop_mid_run
    drive click $CLOSE
    kill -CONT "$setup_pid"
    drive wait-gone 20000 || fail "the close button closes the updating page"
    wait_setup 3
    check_still_v1 "the updating page closed mid-run"
}

# Version 1 installed, then version 2's run killed with SIGKILL mid-run.
kill_update_mid_run() {
    open_sandbox en 96
    install_v1 'C:\Product' "$drive_c/Product"
    start_installer "$SETUP_V2" 'C:\Product' go
    stop_mid_run
    kill -KILL "$setup_pid"
    wait "$setup_pid" 2>/dev/null
    check "[ -n \"\$(find '$product_dir' -maxdepth 1 -name '~setup~*')\" ]" "the killed run left its staging folder"
}

scenario_update_killed() {
    kill_update_mid_run
    # The next start finds the leftovers before it shows anything.
    start_setup
    check "visible $INSTALL" "the next setup.exe shows the welcome page"
    check_still_v1 "killed mid-run, then started again"
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup
}

# uninstall.exe after a kill also finishes the interrupted installation first: it then removes
# version 1 completely, and nothing the killed run staged is left behind.
scenario_update_killed_then_uninstalled() {
    kill_update_mid_run
    run_within 120 uninstall.exe 'C:\Product\uninstall.exe' /S
    local code=$?
    check "[ $code -eq 0 ]" "uninstall.exe after the kill removes everything (got $code)"
    all_ended
    check "[ ! -e '$product_dir' ]" "the install folder is gone"
    check "! has_uninstall_key" "the Uninstall entry is gone"
    check_no_leftovers
}

# --- Killed during the final step ------------------------------------------------------------------
# setup.exe is killed from outside the moment the final step reaches a chosen point: the driver,
# told by the system of every change where that point shows, ends it (TerminateProcess) as soon as
# it sees the point reached. Another program (the sleeper) holds a file the step needs there, which
# keeps the step at that point for a while: a move of a held file is retried for about half a
# second, a deletion for about a second.

staging_dir() { find "$product_dir" -maxdepth 1 -name '~setup~*' 2>/dev/null | head -n 1; }
journal_phase() {
    wine reg query 'HKLM\Software\VivevaDiz\InstallInProgress' /v Phase 2>/dev/null | tr -d '\r' |
        sed -n 's/.*REG_DWORD *0x//p'
}

# Version 1 installed; version 2's update is stopped mid-run, its first changed folders staged.
stop_update_mid_run() {
    open_sandbox en 96
    install_v1 'C:\Product' "$drive_c/Product"
    start_installer "$SETUP_V2" 'C:\Product' go
    stop_mid_run
    staging=$(staging_dir)
}

# The holder (the sleeper, given ARGS, the file last) takes hold of its file.
hold() {  # sleeper args...
    cp "$SLEEPER" "$drive_c/holder.exe"
    wine 'C:\holder.exe' "$@" >"$WINE_SANDBOX/holder.txt" 2>/dev/null &
    holder=$!
    check "wait_for_line '^holding' '$WINE_SANDBOX/holder.txt' 30" "the other program holds $*"
}

# Lets the stopped setup.exe go on, and has it killed the moment POINT (the driver's end-when
# words) is reached; killed=1 when it was, setup.exe still running then.
kill_setup_at() {  # point...
    local said="$WINE_SANDBOX/killer.txt" killer
    wine "$DRIVER" end-when setup.exe 120000 "$@" >"$said" 2>&1 &
    killer=$!
    wait_for_line watching "$said" 30 || fail "the driver watches for $*"
    kill -CONT "$setup_pid"
    killed=0
    end_within "$killer" 150 "the driver that kills setup.exe" && killed=1
    [ $killed = 1 ] || echo "  the driver: $(tr -d '\r' <"$said" | tr '\n' ' ')"
    end_within "$setup_pid" 30 "setup.exe, killed"
}

# log_has with an extended regular expression.
log_matches() { log_texts "$1" | grep -Ecx -- "$2" >/dev/null; }

end_holder() {
    kill "$holder" 2>/dev/null
    wait "$holder" 2>/dev/null
}

# Every file of version 2's payload is in the folder byte for byte, and nothing else but the list of
# installed files and what the product wrote when it started.
check_is_v2() {  # what
    local want got
    want=$(cd "$V2_PAYLOAD" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum)
    got=$(cd "$product_dir" && find . -path './~setup~*' -prune -o -type f ! -name launched.txt \
        ! -name uninstall.lst -print0 | LC_ALL=C sort -z | xargs -0 md5sum)
    check "[ -n \"\$want\" ] && [ \"\$want\" = \"\$got\" ]" "$1: the folder is version 2's, byte for byte"
}

# Killed while the moves are under way (the old data\d1\f1.txt set aside, the new one held). A run
# that cannot then undo them all does nothing else, exit 2 (setup.exe) or 96 (uninstall.exe), and
# names what is held; the journal stays, and once the file is let go the next start undoes the rest.
scenario_update_killed_during_moves() {
    stop_update_mid_run
    hold "$(windows_path "$staging")\\data\\d1\\f1.txt"
    # Once the old file is set aside, the move of the held new one is retried.
    kill_setup_at gone 'C:\Product\data\d1\f1.txt'
    check "[ $killed = 1 ] && [ \"\$(journal_phase)\" = 2 ]" "setup.exe is killed during the final moves"
    check "[ -f '$product_dir/changes.txt' ] && [ ! -e '$product_dir/data/d1/f1.txt' ]" \
        "the folder is a mix: a new file in place, an old one set aside"
    check "[ ! -e '$product_dir/legacy.dll' ] && [ ! -e '$product_dir/old/deep/o2.txt' ]" \
        "the files version 2 dropped are set aside too"

    local log="$drive_c/recover.log" staged
    staged="C:\\\\Product\\\\~setup~[0-9a-f]{16}\\\\"
    run_unattended "\"$(windows_path "$SETUP_V2")\" /S /LOG=C:\\recover.log /D=C:\\Product"
    check "[ $rc -eq 2 ] && no_window_seen" "setup.exe /S that cannot finish the interrupted one: exit 2 (got $rc)"
    check "[ \"\$(tree_state '$product_dir')\" = \"\$v1_tree\" ]" "the moves are undone all the same"
    check "[ \"\$(journal_phase)\" = 1 ] && [ -f '$staging/~setup~plan' ]" \
        "the journal says so at once, and the plan stays while anything staged does"
    check "uninstall_key | grep -q 'DisplayVersion.*2\\.0\\.0'" "nothing was installed or registered"
    local held="${staged}data\\\\d1\\\\f1\\.txt"
    check_log_steps "$log" "a run that cannot finish the interrupted one" \
        "installer 2\\.1\\.0, command line: .*" "product VivevaDiz: .*" \
        "end processes vivevadiz\\.exe: done \\(0 ended\\)" \
        "interrupted installation of C:\\\\Product: failed \\($held\\): .+" \
        "failed: an interrupted installation could not be finished or undone: $held: .+" \
        "outcome: failed: an interrupted installation could not be finished or undone: $held: .+" \
        "exit code 2"

    run_unattended "\"C:\\Product\\uninstall.exe\" /S /LOG=C:\\remove.log" uninstall.exe
    check "[ $rc -eq 96 ] && no_window_seen" "uninstall.exe /S then: exit 96 (got $rc)"
    check "[ \"\$(tree_state '$product_dir')\" = \"\$v1_tree\" ] && has_uninstall_key" "and it removes nothing"
    check "log_matches '$drive_c/remove.log' 'failed: an interrupted installation could not be finished or undone: $held: .+' && log_has '$drive_c/remove.log' 'exit code 96'" \
        "the uninstaller's log names what is held"
    expect_failure "a run with its window then" "$SETUP"
    check "[ \"\$(tree_state '$product_dir')\" = \"\$v1_tree\" ]" "the failure page, and nothing installed"

    # A link planted in the staging folder is not followed: what it leads to stays, and so does the
    # journal, until the link is gone.
    end_holder
    mkdir -p "$drive_c/outside"
    echo keep >"$drive_c/outside/keep.txt"
    ln -s "$drive_c/outside" "$staging/link"
    run_unattended "\"$(windows_path "$SETUP_V2")\" /S /LOG=C:\\recover.log /D=C:\\Product"
    check "[ $rc -eq 2 ] && [ -f '$drive_c/outside/keep.txt' ]" \
        "a link in the staging folder: exit 2 (got $rc), and what it leads to stays"
    check "log_matches '$log' 'interrupted installation of C:\\\\Product: failed \\(${staged}link\\): .+'" \
        "the log names the link"
    rm "$staging/link"

    start_setup
    check "visible $INSTALL" "once nothing holds it, the next setup.exe shows the welcome page"
    check_still_v1 "killed during the final moves, then started again"
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup
}

# Killed while the set-aside old files are deleted (the journal says every move is done): the next
# start finishes the deletion, and the folder is version 2's. Three old files of data\d1, checked by
# the update already, are held where they can still be moved but not deleted: they are set aside,
# and the deletion of each is retried for a second while the journal says so.
scenario_update_killed_during_discard() {
    stop_update_mid_run
    hold --movable 'C:\Product\data\d1\f1.txt' 'C:\Product\data\d1\f2.txt' 'C:\Product\data\d1\f3.txt'
    kill_setup_at value 'Software\VivevaDiz\InstallInProgress' Phase 3
    check "[ $killed = 1 ] && [ \"\$(journal_phase)\" = 3 ] && [ -n \"\$(ls -A '$staging/~setup~old')\" ]" \
        "setup.exe is killed while it deletes the set-aside files"
    check "uninstall_key | grep -q 'DisplayVersion.*2\\.0\\.0'" "before the registration"
    end_holder
    check_is_v2 "killed during the deletion"

    start_setup
    check "visible $INSTALL" "the next setup.exe shows the welcome page"
    check_is_v2 "the deletion finished by the next start"
    check "[ ! -e '$product_dir/legacy.dll' ] && [ ! -e '$product_dir/old' ]" \
        "the file and the folder version 2 dropped are gone"
    check_no_leftovers
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup
}

# The same three old files held past the deletion's retries, the update unattended: it exits 0,
# has Windows delete each of them (and the folders that hold them) at the next restart, names them
# in its log and clears its journal, so that the next runs are not stopped; their staging folder
# stays until the restart, and nothing after it takes its name.
scenario_update_held_past_discard() {
    open_sandbox en 96
    install_v1 'C:\Product' "$drive_c/Product"
    local i staged="" log="$drive_c/update.log"
    wine "$SETUP_V2" /S /LOG=C:\\update.log /D=C:\\Product >/dev/null 2>&1 &
    setup_pid=$!
    # Once a later folder is staged, data\d1's old files have been compared already.
    for ((i = 0; i < 3000; i++)); do
        staged=$(staging_dir)
        if [ -n "$staged" ] && [ -d "$staged/data/d3" ]; then
            kill -STOP "$setup_pid"
            break
        fi
        sleep 0.01
    done
    staging=$staged
    check "[ -n '$staging' ] && [ \"\$(journal_phase)\" = 1 ]" "the update is stopped while it stages"
    hold --movable 'C:\Product\data\d1\f1.txt' 'C:\Product\data\d1\f2.txt' 'C:\Product\data\d1\f3.txt'
    kill -CONT "$setup_pid"
    end_within "$setup_pid" 120 "setup.exe /S with held set-aside files"
    local code=$?
    check "[ $code -eq 0 ]" "the update completes: exit 0 (got $code)"
    check_is_v2 "an update whose old files stay held"
    check "! wine reg query 'HKLM\\Software\\VivevaDiz\\InstallInProgress' >/dev/null 2>&1" \
        "no journal is left"
    local name pending
    name=$(basename "$staging")
    check "[ \$(log_texts '$log' | grep -Ec '^set aside and held, deleted at the next restart: .*~setup~old.[0-9]+\$') -eq 3 ]" \
        "the log names each held file"
    check "log_has '$log' 'set aside and held, deleted at the next restart: C:\\\\Product\\\\$name' && log_has '$log' 'outcome: succeeded'" \
        "and the staging folder, last; the outcome is a success"
    pending=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
        /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
    check "[ \$(grep -o '~setup~old.[0-9]*' <<<\"\$pending\" | wc -l) -ge 3 ] && grep -qF '$name' <<<\"\$pending\"" \
        "Windows is to delete them at the next restart"
    check "[ -d '$staging/~setup~old' ]" "the staging folder stays until then"

    # The holder still holds them: the next update and the removal run as if nothing were there.
    run_unattended "\"$(windows_path "$SETUP_V2")\" /S /LOG=C:\\next.log /D=C:\\Product"
    check "[ $rc -eq 0 ] && log_has '$drive_c/next.log' 'outcome: succeeded'" "the next setup.exe /S: exit 0 (got $rc)"
    check "[ -d '$staging' ] && [ \$(find '$product_dir' -maxdepth 1 -name '~setup~*' | wc -l) -eq 1 ]" \
        "its own staging folder is gone, the held one stays"
    run_unattended "\"C:\\Product\\uninstall.exe\" /S /LOG=C:\\remove.log" uninstall.exe
    check "[ $rc -eq 0 ] && ! has_uninstall_key" "then uninstall.exe /S: exit 0 (got $rc)"
    check "[ -z \"\$(find '$product_dir' -path '$staging' -prune -o -type f -print)\" ]" \
        "it removes every installed file; only what waits for the restart stays"
    end_holder
}

scenario_update_drive_full() {
    open_sandbox en 96
    mount_small_drive size=64m,nr_inodes=4000 || skip "cannot mount a RAM-backed drive (needs root)"
    install_v1 'Q:\Product' "$small_drive/Product"
    # As many files more as the drive then takes: the update runs out of them part-way, while the
    # free space it checks first is plenty.
    local used
    used=$(df --output=iused "$small_drive" | tail -n 1)
    mount -o remount,nr_inodes=$((used + 150)) "$small_drive" || skip "cannot limit the drive's files"
    expect_failure "a drive that fills during the update" "$SETUP_V2" 'Q:\Product' go
    check_still_v1 "the drive filled during the update"
    unmount_small_drive
}

scenario_space_check() {
    open_sandbox en 96
    mount_small_drive size=1m || skip "cannot mount a RAM-backed drive (needs root)"
    start_setup 'Q:\Product' go
    drive wait-visible $CONTACT 30000 || fail "a drive too small shows the failure page"
    check "[ -z \"\$(ls -A '$small_drive')\" ]" "nothing is written to a drive too small"
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup 2
    unmount_small_drive
}

scenario_second_installer() {
    open_sandbox en 96
    install_v1 'C:\Product' "$drive_c/Product"
    start_installer "$SETUP_V2" 'C:\Product' go
    local first=$setup_pid code
    run_within 60 uninstall.exe 'C:\Product\uninstall.exe' /S
    code=$?
    check "[ $code -eq 192 ]" "uninstall.exe while an installation runs exits with 192 (got $code)"
    run_within 60 "a second setup.exe" "$SETUP"
    code=$?
    check "[ $code -eq 4 ]" "a second setup.exe while one runs exits with 4 (got $code)"
    run_within 60 "a second setup.exe" "$SETUP" 'C:\Other' go
    code=$?
    check "[ $code -eq 4 ] && [ ! -e '$drive_c/Other' ]" "a second command-line installation exits with 4 and installs nothing (got $code)"
    # Unattended, as a deployment tool retries: no window, and the reason in the log.
    run_unattended "\"$(windows_path "$SETUP")\" /S /LOG=C:\\busy.log /D=C:\\Silent Other"
    check "[ $rc -eq 4 ] && no_window_seen" "/S while one runs: exit 4 (got $rc), no window ($(probe_summary))"
    check "[ ! -e '$drive_c/Silent Other' ]" "/S while one runs installs nothing"
    check_log_steps "$drive_c/busy.log" "/S while one runs" "installer 2\.0\.0, command line: .*" \
        "product VivevaDiz: .*" "outcome: another installation or removal of the product is running" \
        "exit code 4"
    run_unattended "\"C:\\Product\\uninstall.exe\" /S /LOG=C:\\busy-remove.log" uninstall.exe
    check "[ $rc -eq 192 ] && no_window_seen" "uninstall.exe /S while one runs: exit 192 (got $rc), no window ($(probe_summary))"
    check "log_has '$drive_c/busy-remove.log' 'failed: an installation or removal of the product is running' && log_has '$drive_c/busy-remove.log' 'exit code 192'" \
        "the uninstaller's log says why"
    setup_pid=$first
    drive wait-visible $FINISH 60000 || fail "the first installation completes"
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup
    check "[ -f '$drive_c/Product/plugins/p1/plugin.dll' ]" "the first installation's files are there"
    start_setup
    check "visible $INSTALL" "once it has ended, setup.exe starts again"
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup
}

# A user without administrator rights took the guard's names before any installer ran: an event
# at the first, a mutex nobody else may open at the second, a mutex of the user's own at the third.
# None of them blocks an installation, and installations still run one at a time.
scenario_squatted_guard() {
    open_sandbox en 96
    local name='Global\VivevaDiz.installation' said="$WINE_SANDBOX/squatter.txt" squatter code i
    wine "$SQUATTER" event "$name" locked "$name.1" users "$name.2" >"$said" 2>&1 &
    squatter=$!
    for ((i = 0; i < 300; i++)); do grep -q squatting "$said" && break; sleep 0.1; done
    check "grep -q squatting '$said'" "the names are taken first ($(tr -d '\r' <"$said"))"
    run_unattended "\"$(windows_path "$SETUP")\" /S /D=C:\\Product"
    check "[ $rc -eq 0 ] && [ -f '$drive_c/Product/vivevadiz.exe' ]" "/S installs in spite of them (got $rc)"
    start_setup 'C:\Product' go
    drive wait-visible $FINISH 60000 || fail "an update with its window completes"
    run_within 60 "a second setup.exe" "$SETUP" /S '/D=C:\Other'
    code=$?
    check "[ $code -eq 4 ] && [ ! -e '$drive_c/Other' ]" "a second setup.exe while it shows exits with 4 (got $code)"
    run_within 60 uninstall.exe 'C:\Product\uninstall.exe' /S
    code=$?
    check "[ $code -eq 192 ] && [ -f '$drive_c/Product/uninstall.exe' ]" "uninstall.exe while it shows exits with 192 (got $code)"
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup
    run_within 120 uninstall.exe 'C:\Product\uninstall.exe' /S
    code=$?
    check "[ $code -eq 0 ]" "once it has ended, uninstall.exe runs (got $code)"
    kill "$squatter"
    wait "$squatter" 2>/dev/null
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

# --- Unattended runs -------------------------------------------------------------------------------

reg_value() {  # name
    uninstall_key | sed -n "s/^ *$1 *REG_[A-Z]* *//p"
}

# /S with /D= naming a folder with spaces, unquoted as package managers write it: no window ever,
# exit 0, the files, every value of the Uninstall entry, both shortcuts, and the product not started.
# Again with /NODESKTOP into another folder, appending to the same log: no desktop shortcut.
scenario_silent_install() {
    open_sandbox en 96
    local setup dir="$drive_c/Program Files/Silent Test" log="$drive_c/logs/silent.log"
    setup=$(windows_path "$SETUP")
    mkdir -p "$drive_c/logs"
    run_unattended "\"$setup\" /S /LOG=C:\\logs\\silent.log /D=C:\\Program Files\\Silent Test"
    check "[ $rc -eq 0 ]" "/S exits with 0 (got $rc)"
    check "no_window_seen" "/S shows no window ($(probe_summary))"
    check "[ -f '$dir/vivevadiz.exe' ] && [ -f '$dir/data/d40/f60.txt' ] && [ -f '$dir/uninstall.exe' ]" \
        "the payload is installed in the folder with spaces"
    local files bytes
    files=$(find "$dir" -type f | wc -l)
    bytes=$(find "$dir" -type f -printf '%s\n' | awk '{ t += $1 } END { print t }')

    check "[ \"\$(reg_value InstallLocation)\" = 'C:\\Program Files\\Silent Test' ]" "InstallLocation"
    check "[ \"\$(reg_value UninstallString)\" = '\"C:\\Program Files\\Silent Test\\uninstall.exe\"' ]" "UninstallString"
    check "[ \"\$(reg_value QuietUninstallString)\" = '\"C:\\Program Files\\Silent Test\\uninstall.exe\" /S' ]" \
        "QuietUninstallString is the uninstaller with /S"
    check "[ \"\$(reg_value DisplayIcon)\" = 'C:\\Program Files\\Silent Test\\vivevadiz.exe' ]" "DisplayIcon"
    check "[ \"\$(reg_value DisplayName)\" = 'Marlin Data Recovery (IOS)' ] && [ \"\$(reg_value DisplayVersion)\" = 2.0.0 ]" \
        "DisplayName and DisplayVersion"
    check "[ \"\$(reg_value Publisher)\" = 'Orrin Net Tech Co., Ltd.' ] && [ \"\$(reg_value StartMenuFolder)\" = 'Marlin Data Recovery' ]" \
        "Publisher and StartMenuFolder"
    check "[ \"\$(reg_value ShortcutName)\" = 'Marlin Data Recovery (iOS)' ]" "ShortcutName"
    check "uninstall_key | grep -Eq '^ *NoModify +REG_DWORD +0x1\$' && uninstall_key | grep -Eq '^ *NoRepair +REG_DWORD +0x1\$'" \
        "NoModify and NoRepair are DWORD 1"
    local date estimated
    date=$(reg_value InstallDate)
    check "[ '$date' = \"\$(date +%Y%m%d)\" ] || [ '$date' = \"\$(date -d '1 minute ago' +%Y%m%d)\" ]" "InstallDate is today ($date)"
    estimated=$(uninstall_key | sed -n 's/^ *EstimatedSize *REG_DWORD *//p')
    check "uninstall_key | grep -Eq '^ *EstimatedSize +REG_DWORD ' && [ \$(( ${estimated:-0} * 1024 - $bytes )) -ge 0 ] && [ \$(( ${estimated:-0} * 1024 - $bytes )) -lt 1024 ]" \
        "EstimatedSize ($estimated KiB) is within 1 KiB of the files' $bytes bytes"

    local link="$(start_menu_folder)/Marlin Data Recovery (iOS).lnk"
    check "[ -f \"$link\" ]" "the Start-menu shortcut is made"
    check "[ -f \"$(desktop_link en)\" ]" "the desktop shortcut is made"
    sleep 2
    check "[ ! -e '$dir/launched.txt' ]" "/S never starts the product"

    local entries
    entries=$(log_texts "$log" | grep -c '^entry ')
    check "[ $entries -eq $files ]" "the log has one line per entry ($entries for $files files)"
    check "log_has '$log' 'entry data\\\\d40\\\\f60.txt'" "an entry's line names it as the trace does"
    local steps=(
        "installer 2\.0\.0, command line: .*setup\.exe\"? /S /LOG=C:\\\\logs\\\\silent\.log /D=C:\\\\Program Files\\\\Silent Test"
        "product VivevaDiz: Marlin Data Recovery \(IOS\) 2\.0\.0, Orrin Net Tech Co\., Ltd\."
        "install folder chosen: C:\\\\Program Files\\\\Silent Test \(given on the command line\)"
        "install folder C:\\\\Program Files\\\\Silent Test"
        "space check: done \($bytes bytes in $files files\)"
        "end processes vivevadiz\.exe: done \(0 ended\)"
        "final step: done"
        "Start-menu shortcut: done \(C:\\\\users\\\\.*\\\\Marlin Data Recovery\\\\Marlin Data Recovery \(iOS\)\.lnk\)"
        "Uninstall entry: done \(HKLM\\\\Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\VivevaDiz\)"
        "desktop shortcut: done \(C:\\\\users\\\\.*\\\\Desktop\\\\Marlin Data Recovery \(iOS\)\.lnk\)"
        "product start: not started \(/S\)"
        "outcome: succeeded"
        "exit code 0"
    )
    check_log_steps "$log" "a silent installation" "${steps[@]}"

    rm -f "$(desktop_link en)"
    run_unattended "\"$setup\" /s /nodesktop /log=C:\\logs\\silent.log /d=C:\\Silent Two"
    check "[ $rc -eq 0 ]" "/S /NODESKTOP exits with 0 (got $rc)"
    check "no_window_seen" "/S /NODESKTOP shows no window ($(probe_summary))"
    check "[ -f '$drive_c/Silent Two/vivevadiz.exe' ] && [ -f \"$link\" ]" "installed, with the Start-menu shortcut"
    check "[ ! -e \"$(desktop_link en)\" ]" "/NODESKTOP: no desktop shortcut"
    check "[ \"\$(reg_value InstallLocation)\" = 'C:\\Silent Two' ]" "the entry names the new folder"
    check "[ \$(log_texts '$log' | grep -c '^exit code 0\$') -eq 2 ]" "the second run is appended to the same log"
    check "log_has '$log' 'desktop shortcut: not made (/NODESKTOP)'" "the log says why there is no desktop shortcut"
}

# Standard output a pipe whose reader never reads, already full: the trace is dropped, and the
# installation completes and exits all the same.
scenario_silent_stdout_never_read() {
    open_sandbox en 96
    local pipe="$WINE_SANDBOX/never-read" keeper code log="$drive_c/piped.log"
    mkfifo "$pipe"
    # Holds both ends open and reads nothing; then 64 KiB fill the pipe.
    sleep 600 <>"$pipe" &
    keeper=$!
    head -c 65536 /dev/zero >"$pipe"
    wine "$SETUP" /S /LOG=C:\\piped.log /D=C:\\Piped >"$pipe" 2>/dev/null &
    setup_pid=$!
    end_within "$setup_pid" 120 "setup.exe /S with standard output nobody reads"
    code=$?
    kill "$keeper" 2>/dev/null
    wait "$keeper" 2>/dev/null
    check "[ $code -eq 0 ]" "setup.exe /S with standard output nobody reads: exit 0 (got $code)"
    check "[ -f '$drive_c/Piped/data/d40/f60.txt' ] && [ -f '$drive_c/Piped/vivevadiz.exe' ] && has_uninstall_key" \
        "the installation is complete and registered"
    check "log_has '$log' 'entry data\\\\d40\\\\f60.txt' && log_has '$log' 'outcome: succeeded'" \
        "the log is the record: every entry and the outcome"
}

# setup.exe (a copy) whose payload entry $3 has a damaged check sum, written to $4.
corrupt_setup() {  # setup payload.dat entry-name out
    python3 - "$@" <<'PY'
import sys
setup, dat, name, out = sys.argv[1:]
exe = bytearray(open(setup, 'rb').read())
archive = open(dat, 'rb').read()
base = exe.find(archive)
assert base >= 0 and exe.find(archive, base + 1) < 0, "the payload is in setup.exe once"
word = lambda at: int.from_bytes(archive[at:at + 4], 'little')
count, at = word(0), 8
for _ in range(count):
    length = word(at)
    entry = archive[at + 4:at + 4 + 2 * length].decode('utf-16-le')
    at += 4 + 2 * length
    compressed = word(at + 4)
    at += 8
    if entry == name:
        exe[base + at + compressed - 1] ^= 0xFF  # the last byte of the block's Adler-32
        open(out, 'wb').write(exe)
        sys.exit(0)
    at += compressed
sys.exit("no entry " + name)
PY
}

# /S that fails: a damaged payload entry, and a folder that cannot be made. No window, exit 2,
# nothing registered, and the log names the entry and the reason, the system's words included.
scenario_silent_failure() {
    open_sandbox en 96
    mkdir -p "$WINE_SANDBOX/corrupt"
    local bad='data\d20\f30.txt' copy="$WINE_SANDBOX/corrupt/setup.exe" log="$drive_c/failed.log"
    corrupt_setup "$SETUP" "$PAYLOAD_DAT" "$bad" "$copy" || fail "a damaged copy of setup.exe is made"
    run_unattended "\"$(windows_path "$copy")\" /S /LOG=C:\\failed.log /D=C:\\Corrupt"
    check "[ $rc -eq 2 ]" "a damaged payload: exit 2 (got $rc)"
    check "no_window_seen" "a damaged payload: no window, not even on failure ($(probe_summary))"
    check "[ ! -e '$drive_c/Corrupt/data/d20/f30.txt' ] && [ ! -e '$drive_c/Corrupt/vivevadiz.exe' ]" \
        "the damaged entry and what follows it are not written"
    check "! has_uninstall_key && [ ! -e \"$(start_menu_folder)\" ] && [ ! -e \"$(desktop_link en)\" ]" \
        "nothing is registered"
    check "[ \"\$(log_texts '$log' | grep '^entry ' | tail -n 1)\" = 'entry $bad' ]" "the last entry logged is the damaged one"
    local reason="entry $(re "$bad"): a block that is not a valid zlib stream"
    check_log_steps "$log" "a damaged payload" \
        "installer 2\.0\.0, command line: .*" "product VivevaDiz: .*" \
        "install folder chosen: C:\\\\Corrupt \(given on the command line\)" "install folder C:\\\\Corrupt" \
        "space check: done \(.*\)" "end processes vivevadiz\.exe: done \(0 ended\)" "failed: $reason" \
        "outcome: failed: $reason" \
        "exit code 2"

    echo blocker >"$drive_c/blocked"
    run_unattended "\"$(windows_path "$SETUP")\" /S /LOG=C:\\failed.log /D=C:\\blocked\\inside"
    check "[ $rc -eq 2 ]" "a folder that cannot be made: exit 2 (got $rc)"
    check "no_window_seen" "a folder that cannot be made: no window ($(probe_summary))"
    check "log_texts '$log' | grep -Eq '^outcome: failed: C:\\\\blocked\\\\inside cannot be used: .+ \(0x8007[0-9A-F]{4}\)\$'" \
        "the log gives the folder and the system's error text"
    check "[ \$(log_texts '$log' | grep -c '^exit code 2\$') -eq 2 ]" "both failed runs end the log with exit code 2"
}

# What is not understood: exit 5 and nothing done; no window under /S, a message box without it.
# A test build of setup.exe whose registration runs out of memory, as does the creation of the file
# SETUP_FAULT_FILE names: a small one, created on the writers' pool, or the large one, which the
# pool leaves to the caller. Every run ends with 2 and exits, unattended or with its window.
scenario_injected_faults() {
    open_sandbox en 96
    local faults log="$drive_c/faults.log" fault expected folder
    faults=$(dirname "$SETUP")/faults/setup.exe
    local -A reasons=(
        [registration]='the steps after the final step: out of memory, or an unexpected fault'
        ['data\d5\f30.txt']='entry data\\d5\\f30\.txt: C:\\Faults\\data\\d5\\f30\.txt cannot be written or replaced: .+'
        [large.bin]='out of memory, or an unexpected fault'
    )
    for fault in registration 'data\d5\f30.txt' large.bin; do
        rm -f "$log"
        if [ $fault = registration ]; then unset SETUP_FAULT_FILE; else export SETUP_FAULT_FILE=$fault; fi
        run_unattended "\"$(windows_path "$faults")\" /S /LOG=C:\\faults.log /D=C:\\Faults"
        check "[ $rc -eq 2 ] && no_window_seen" "/S, $fault failing: exit 2, no window (got $rc)"
        check "log_matches '$log' 'failed: ${reasons[$fault]}' && log_has '$log' 'exit code 2'" \
            "/S, $fault failing: the log says why"
        check "! wine reg query 'HKLM\\Software\\VivevaDiz\\InstallInProgress' >/dev/null 2>&1" \
            "/S, $fault failing: no journal is left"
        if [ $fault = registration ]; then
            check "[ -f '$drive_c/Faults/data/d40/f60.txt' ] && log_has '$log' 'final step: done'" \
                "the files were in place before registration failed"
            rm -rf "$drive_c/Faults"
        else
            check "[ ! -e '$drive_c/Faults' ]" "/S, $fault failing: nothing is left of the installation"
        fi
        folder="C:\\Window ${fault//\\/-}"
        start_installer "$faults" "$folder" go
        drive wait-visible $CONTACT 60000 || fail "with its window, $fault failing: the failure page"
        drive click $CLOSE
        drive wait-gone 10000 || fail "with its window, $fault failing: the failure page closes"
        wait_setup 2
    done
    unset SETUP_FAULT_FILE
}

scenario_usage_errors() {
    open_sandbox en 96
    local setup line
    setup=$(windows_path "$SETUP")
    while IFS= read -r line; do
        run_unattended "\"$setup\" $line"
        check "[ $rc -eq 5 ] && no_window_seen" "'$line': exit 5 (got $rc), no window ($(probe_summary))"
    done <<'LINES'
/S /X
/S /D=relative\folder
/S /D=C:relative
/S /D=
/S C:\Usage go
/S /LOG= /D=C:\Usage
/S /LOG=C:\nosuchfolder\x.log /D=C:\Usage
LINES
    check "[ ! -e '$drive_c/Usage' ] && ! has_uninstall_key" "nothing was installed or registered"

    run_unattended "\"$setup\" /S /LOG=C:\\usage.log /BOGUS /D=C:\\Usage"
    check "[ $rc -eq 5 ]" "an unknown switch with a log: exit 5"
    check_log_steps "$drive_c/usage.log" "a usage error" "installer 2\.0\.0, command line: .*" \
        "product VivevaDiz: .*" "outcome: usage error: not understood: /BOGUS" "exit code 5"

    # The same probe sees the message box shown without /S.
    start_probe setup.exe
    wine "$SETUP" /X >/dev/null 2>&1 &
    setup_pid=$!
    local text
    text=$(drive dialog-text setup.exe 30000)
    check "[[ \"\$text\" == 'Usage: setup.exe [/S] [/NODESKTOP] [/LOG=FILE] [/D=FOLDER]'* ]] && [[ \"\$text\" == *'/X' ]]" \
        "without /S a message box tells the usage and what was not understood ($text)"
    drive answer setup.exe 1 || fail "the message box is answered"
    wait_setup 5
    end_probe
    check "grep -qx 'windows [1-9]' <<<\"\$probe\" && grep -q '^visible class #32770' <<<\"\$probe\"" \
        "the probe saw that message box ($(probe_summary))"
}

# The switches without /S: /D= fills the path edit, /NODESKTOP clears the desktop box, /LOG= logs.
scenario_interactive_switches() {
    open_sandbox en 96
    local dir="$drive_c/Picked Folder" log="$drive_c/ui.log"
    start_setup /NODESKTOP '/LOG=C:\ui.log' '/D=C:\Picked Folder'
    check "visible $INSTALL" "the welcome page shows"
    check "[ \"\$(drive text $PATH_EDIT)\" = 'C:\\Picked Folder' ]" "/D= fills the install folder"
    drive click $INSTALL
    drive wait-visible $FINISH 60000 || fail "the success page shows"
    # Registration runs on the worker while the success page shows: let it finish before closing.
    local i
    for ((i = 0; i < 100; i++)); do grep -q 'Uninstall entry:' "$log" 2>/dev/null && break; sleep 0.1; done
    drive click $CLOSE
    drive wait-gone 10000 || fail "the close button closes the success page"
    wait_setup
    check "[ -f '$dir/vivevadiz.exe' ]" "installed into the folder of /D="
    check "[ ! -e \"$(desktop_link en)\" ]" "/NODESKTOP: the box started cleared, no desktop shortcut"
    check "wait_for_file '$dir/launched.txt' 20" "the launch box still starts the product"
    check_log_steps "$log" "an interactive run" "installer 2\.0\.0, command line: .*" "product VivevaDiz: .*" \
        "install folder offered: C:\\\\Picked Folder \(given on the command line\)" \
        "install folder C:\\\\Picked Folder" "space check: done \(.*\)" \
        "end processes vivevadiz\.exe: done \(0 ended\)" "final step: done" \
        "Start-menu shortcut: done \(.*\)" "Uninstall entry: done \(.*\)" \
        "desktop shortcut: not made \(box cleared\)" \
        "product start: done \(C:\\\\Picked Folder\\\\vivevadiz\.exe\)" "outcome: succeeded" "exit code 0"
}

case $scenario in
    tour_*) IFS=_ read -r _ lang dpi <<<"$scenario"; scenario_tour "$lang" "$dpi" ;;
    keyboard_[0-9]*) scenario_keyboard "${scenario#keyboard_}" ;;
    *) "scenario_$scenario" ;;
esac
wine_sandbox_close
echo "$failures failed"
[ $failures -eq 0 ]
