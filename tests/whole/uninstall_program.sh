#!/usr/bin/env bash
# Whole-program tests of the demo product's uninstaller: the real setup.exe with the demo payload
# installs from the command line under Wine, the product starts, and uninstall.exe /S removes what
# was installed and registered, leaving what it did not install.
#   uninstall_program.sh SCENARIO   (SETUP, DRIVER, UNINSTALLER, VIVEVADIZ, VERSION_READER,
#                                    PLANTED_DLL and WINE_TEMPLATE from the environment)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/scripts/wine-lib.sh"
. "$here/unattended.sh"
scenario=$1

# A display of its own: the message boxes it answers must be this test's alone.
wine_own_display "$0" "$@"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { if eval "$1"; then pass "$2"; else fail "$2"; fi; }

CLOSE=1000 INSTALL=1001 FINISH=1006
KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VivevaDiz'
# Every entry of the demo payload, as uninstall.lst lists them.
PAYLOAD_FILES="config.ini dict/jieba.dict.utf8 dict/pos_dict/prob_start.utf8 dict/pos_dict/prob_trans.utf8 translations/en_US.lang
translations/zh_CN.lang uninstall.exe uninstall.lst vivevadiz.exe"

drive() { wine "$DRIVER" "$@" 2>/dev/null | tr -d '\r'; }
has_key() { wine reg query "$KEY" >/dev/null 2>&1; }

open_sandbox() {  # LANG(en|zh)
    wine_sandbox_open "$WINE_TEMPLATE"
    local locale=en_US.UTF-8
    [ "$1" = zh ] && locale=zh_CN.UTF-8
    export LC_ALL=$locale LANG=$locale
    drive_c=$WINEPREFIX/drive_c
    user_dir=$(ls -d "$drive_c"/users/*/ | grep -v -i public | head -n 1)
    programs="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
    link_name="Marlin Data Recovery (iOS).lnk"
    [ "$1" = zh ] && link_name="马林iOS数据恢复.lnk"
    product_title=${link_name%.lnk}
}

# Installs into the Windows folder $1 from the command line, closes the success page so that the
# shortcuts are made and the product starts, and waits for the product's window.
install_and_start() {
    wine "$SETUP" "$1" go >/dev/null 2>&1 &
    local pid=$!
    drive wait-main 30000 >/dev/null || fail "the installer's window opened"
    drive wait-visible $FINISH 60000 || fail "the success page shows"
    drive click $CLOSE
    drive wait-gone 10000 || fail "the success page closes"
    wait "$pid"
    local title
    title=$(drive wait-window-of vivevadiz.exe 20000)
    check "[ \"\$title\" = '$product_title' ]" "the product runs and shows its name (got '$title')"
}

# Runs the uninstaller at the Unix path $1 with /S; sets rc.
uninstall_silently() {
    wine "$1" /S >/dev/null 2>&1
    rc=$?
}

# The Windows path of the Unix path $1 below drive C.
on_c() { local p=${1#"$drive_c"}; echo "C:${p//\//\\}"; }

# uninstall.exe at the Unix path $1 with the arguments $2, run as a deployment tool does while a
# probe watches it and its copy for windows; sets rc and probe.
uninstall_watched() {  # unix path, arguments
    run_unattended "\"$(on_c "$1")\" $2" uninstall.exe
}

wait_gone() {  # path seconds
    local i
    for ((i = 0; i < $2 * 10; i++)); do [ -e "$1" ] || return 0; sleep 0.1; done
    return 1
}

installed_everything() {  # unix dir
    local f
    for f in $PAYLOAD_FILES; do [ -f "$1/$f" ] || return 1; done
}

no_payload_file_left() {  # unix dir
    local f
    for f in $PAYLOAD_FILES; do [ ! -e "$1/$f" ] || { echo "left: $f"; return 1; }; done
}

# The version information Windows shows for the program at the Unix path $1: both languages, and
# FileDescription saying what it is ($2 in Chinese, $3 in English).
check_version_info() {
    local file=${1##*/} got want
    got=$(wine "$VERSION_READER" "Z:${1//\//\\}" 2>/dev/null | tr -d '\r')
    want=$(
        echo "fixed 2.0.0.0 2.0.0.0"
        echo "translation 0804 04b0 0409 04b0"
        while IFS='|' read -r block copyright name description; do
            printf "$block %s\n" "CompanyName=Orrin Net Tech Co., Ltd." "FileDescription=$description" \
                "FileVersion=2.0.0" "InternalName=${file%.exe}" \
                "LegalCopyright=$copyright © Orrin Net Tech Co., Ltd." "OriginalFilename=$file" \
                "ProductName=$name" "ProductVersion=2.0.0"
        done <<<"080404b0|版权所有|马林iOS数据恢复|$2
040904b0|Copyright|Marlin Data Recovery (iOS)|$3"
    )
    if [ "$got" = "$want" ]; then
        pass "$1 carries its version information in both languages"
    else
        fail "$1 carries its version information in both languages:"
        diff <(echo "$want") <(echo "$got")
    fi
}

# The three programs as built, and the two of the product as installed.
scenario_version_information() {
    open_sandbox en
    local dir="$drive_c/Demo Version"
    install_and_start 'C:\Demo Version'
    check_version_info "$SETUP" "马林iOS数据恢复安装程序" "Marlin Data Recovery (iOS) Setup"
    local where
    for where in "$VIVEVADIZ" "$dir/vivevadiz.exe"; do
        check_version_info "$where" "马林iOS数据恢复" "Marlin Data Recovery (iOS)"
    done
    for where in "$UNINSTALLER" "$dir/uninstall.exe"; do
        check_version_info "$where" "马林iOS数据恢复卸载程序" "Marlin Data Recovery (iOS) Uninstaller"
    done
}

# Foreign data in the install folder and in one of its subfolders survives with both folders;
# folders that held only installed files go; the shortcuts, the Start-menu folder and the entry go.
scenario_removes_what_it_installed() {  # lang
    open_sandbox "$1"
    local dir="$drive_c/Program Files/Demo Test"
    mkdir -p "$dir/dict"
    echo "my notes" >"$dir/notes.txt"
    echo "自定义 10 n" >"$dir/dict/user_words.utf8"
    install_and_start 'C:\Program Files\Demo Test'
    check "installed_everything '$dir'" "the demo payload is installed"
    check "[ -f '$dir/uninstall.lst' ] && grep -q 'pos_dict' '$dir/uninstall.lst'" "the list of installed files is there"
    check "[ -f '$programs/Marlin Data Recovery/$link_name' ] && [ -f '$user_dir/Desktop/$link_name' ]" \
        "both shortcuts are made"
    check "has_key" "the Uninstall entry is written"

    uninstall_silently "$dir/uninstall.exe"
    check "[ $rc -eq 0 ]" "uninstall.exe /S reports everything removed (exit $rc)"
    check "[ \"\$(drive count-processes vivevadiz.exe)\" = 0 ]" "the running product was ended"
    check "wait_gone '$dir/uninstall.exe' 20" "the uninstaller removed itself after it ended"
    check "no_payload_file_left '$dir'" "every installed file is gone"
    check "[ ! -e '$dir/translations' ] && [ ! -e '$dir/dict/pos_dict' ]" "folders that became empty are gone"
    check "[ \"\$(cat '$dir/notes.txt')\" = 'my notes' ]" "a foreign file in the install folder survives"
    check "[ -f '$dir/dict/user_words.utf8' ]" "a foreign file in an installed subfolder survives with it"
    check "[ ! -e '$user_dir/Desktop/$link_name' ]" "the desktop shortcut is gone"
    check "[ ! -e '$programs/Marlin Data Recovery' ]" "the Start-menu shortcut and folder are gone"
    check "! has_key" "the Uninstall entry is gone"

    # Again, with a fresh copy of the uninstaller: nothing recorded, nothing listed, nothing touched.
    cp "$UNINSTALLER" "$dir/uninstall.exe"
    uninstall_silently "$dir/uninstall.exe"
    check "[ $rc -eq 48 ]" "a second uninstall reports not registered (16) + no list (32) (exit $rc)"
    check "[ -f '$dir/notes.txt' ] && [ -f '$dir/dict/user_words.utf8' ] && [ -f '$dir/uninstall.exe' ]" \
        "a second uninstall removes nothing"
}

# An install folder that already held the user's data: only the installed files go, and the
# folders that listed names lie in once they are empty, whoever made them.
scenario_keeps_other_data() {
    open_sandbox en
    local dir="$drive_c/Data"
    mkdir -p "$dir/photos/2023" "$dir/empty-before" "$dir/translations"
    for i in 1 2 3; do echo "photo $i" >"$dir/photos/2023/IMG_000$i.jpg"; done
    echo "budget" >"$dir/budget.xlsx"
    install_and_start 'C:\Data'
    uninstall_silently "$dir/uninstall.exe"
    check "[ $rc -eq 0 ]" "uninstall.exe /S exits with 0 (exit $rc)"
    check "wait_gone '$dir/uninstall.exe' 20" "the uninstaller removed itself"
    check "no_payload_file_left '$dir'" "every installed file is gone"
    check "[ \$(find '$dir/photos' -type f | wc -l) -eq 3 ] && [ -f '$dir/budget.xlsx' ]" "the user's files stay"
    check "[ -d '$dir/empty-before' ]" "an empty folder that no listed name lies in stays"
    check "[ ! -e '$dir/translations' ]" "an empty folder a listed name lies in goes, though it was there before"
    check "! has_key" "the Uninstall entry is gone"
}

# Nothing left behind: the install folder itself goes.
scenario_removes_the_folder() {
    open_sandbox en
    local dir="$drive_c/Demo Clean"
    install_and_start 'C:\Demo Clean'
    uninstall_silently "$dir/uninstall.exe"
    check "[ $rc -eq 0 ]" "uninstall.exe /S exits with 0 (exit $rc)"
    check "wait_gone '$dir' 20" "the emptied install folder is removed once the uninstaller ends"
    check "wine reg query 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations 2>/dev/null | grep -qi 'uninstall-'" \
        "the temporary copy is to be deleted at the next restart"
}

# A copy of the uninstaller elsewhere, with a list beside it, must not act on that folder or on the
# registered installation.
scenario_refuses_another_folder() {
    open_sandbox en
    local dir="$drive_c/Demo A" other="$drive_c/Elsewhere"
    install_and_start 'C:\Demo A'
    mkdir -p "$other"
    cp "$dir/uninstall.exe" "$dir/uninstall.lst" "$dir/config.ini" "$other/"
    uninstall_watched "$other/uninstall.exe" '/S /LOG=C:\refused.log'
    check "[ $rc -eq 64 ]" "an uninstaller outside the registered folder refuses (exit $rc)"
    check "no_window_seen" "its refusal shows no window under /S ($(probe_summary))"
    check "log_has '$drive_c/refused.log' 'failed: the Uninstall entry names another folder: C:.Demo A'" \
        "the log says why it refused"
    check "[ -f '$other/config.ini' ] && [ -f '$other/uninstall.exe' ]" "it deletes nothing beside itself"
    check "installed_everything '$dir' && has_key" "the registered installation is untouched"
    check "[ -f '$user_dir/Desktop/$link_name' ]" "the shortcuts stay"
    check "[ \"\$(drive count-processes vivevadiz.exe)\" = 1 ]" "the product keeps running"
}

# Without its list the uninstaller cannot tell what is the product's: it removes nothing, and the
# product stays registered and can be uninstalled once the list is back. A /finish command line
# that another process could have made deletes nothing either: the installed uninstaller naming
# itself, and a copy elsewhere naming it with numbers that are no inherited handle of a process
# running it (whatever those numbers are in that copy, they are not closed as one).
scenario_no_list() {
    open_sandbox en
    local dir="$drive_c/Demo NoList" handle
    install_and_start 'C:\Demo NoList'
    mv "$dir/uninstall.lst" "$drive_c/saved.lst"
    uninstall_watched "$dir/uninstall.exe" /S
    check "[ $rc -eq 32 ]" "without uninstall.lst it exits with 32 (exit $rc)"
    check "no_window_seen" "it shows no window under /S ($(probe_summary))"
    wine "$dir/uninstall.exe" /finish 4 'C:\Demo NoList\uninstall.exe' >/dev/null 2>&1
    rc=$?
    check "[ $rc -eq 64 ]" "a /finish naming the uninstaller itself refuses (exit $rc)"
    mkdir -p "$drive_c/Elsewhere"
    cp "$UNINSTALLER" "$drive_c/Elsewhere/uninstall.exe"
    for handle in 4 8 12 16 20 24 28 32 36 40 44 48 52 56 60 64; do
        wine "$drive_c/Elsewhere/uninstall.exe" /finish $handle 'C:\Demo NoList\uninstall.exe' >/dev/null 2>&1
        rc=$?
        [ $rc -eq 64 ] || break
    done
    check "[ $rc -eq 64 ] && [ -f '$dir/uninstall.exe' ]" \
        "a copy elsewhere without the handle refuses and deletes nothing (handle $handle, exit $rc)"
    check "! wine reg query 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations 2>/dev/null | grep -qi 'Demo NoList'" \
        "nor marks it for deletion at restart"
    mv "$drive_c/saved.lst" "$dir/uninstall.lst"
    check "installed_everything '$dir' && has_key" "every file and the Uninstall entry stay"
    check "[ -f '$programs/Marlin Data Recovery/$link_name' ] && [ -f '$user_dir/Desktop/$link_name' ]" \
        "both shortcuts stay"
    check "[ \"\$(drive count-processes vivevadiz.exe)\" = 1 ]" "the product keeps running"

    uninstall_silently "$dir/uninstall.exe"
    check "[ $rc -eq 0 ]" "with the list back it uninstalls (exit $rc)"
    check "wait_gone '$dir' 20" "and everything goes"
}

# Started by a program path in "\\?\" form, the uninstaller works as it does from a drive-letter
# path. Wine hands a program started that way its path in drive-letter form, so the run from
# "\\?\C:\..." is followed by what such an uninstaller does on Windows: its copy, given the
# command line it writes there (the program in "\\?\" form, a handle of the waiting uninstaller),
# removes it once it has ended.
scenario_long_form_program_path() {
    open_sandbox en
    local dir="$drive_c/Demo Long" pid text
    install_and_start 'C:\Demo Long'
    uninstall_silently '\\?\C:\Demo Long\uninstall.exe'
    check "[ $rc -eq 0 ]" "uninstall.exe /S from \\\\?\\C:\\Demo Long exits with 0 (exit $rc)"
    check "[ \"\$(drive count-processes vivevadiz.exe)\" = 0 ]" "the running product was ended"
    check "wait_gone '$dir' 20" "the copy removed the uninstaller and the emptied folder"
    check "! has_key && [ ! -e '$user_dir/Desktop/$link_name' ]" "the entry and the shortcuts are gone"

    install_and_start 'C:\Demo Long'
    mkdir -p "$drive_c/Copy"
    cp "$UNINSTALLER" "$drive_c/Copy/uninstall.exe"
    wine "$dir/uninstall.exe" >/dev/null 2>&1 &
    pid=$!
    text=$(drive dialog-text uninstall.exe 20000)
    check "[ -n \"\$text\" ]" "the uninstaller waits for its confirmation"
    # Without the test's pipe: the copy inherits the driver's standard handles.
    wine "$DRIVER" hand-over uninstall.exe 'C:\Copy\uninstall.exe' '\\?\C:\Demo Long\uninstall.exe' >/dev/null 2>&1 ||
        fail "the copy is started"
    sleep 1
    check "[ -f '$dir/uninstall.exe' ]" "the copy waits while the uninstaller runs"
    drive answer uninstall.exe 7 || fail "the confirmation is answered No"
    # A copy that refused its command line would show a message box of its own, answered instead.
    local waited
    for ((waited = 0; waited < 100; waited++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    check "! kill -0 $pid 2>/dev/null" "the uninstaller ends on No"
    kill -0 "$pid" 2>/dev/null && drive answer uninstall.exe 7
    wait "$pid"
    check "wait_gone '$dir/uninstall.exe' 20" "then the copy removes it, named in \\\\?\\ form"
    check "[ -f '$dir/vivevadiz.exe' ]" "and nothing else: the folder still holds the product"
}

# The Unix pid of the process of this prefix whose command line matches the extended regular
# expression $1; empty when none shows within 20 s.
unix_pid_of() {
    local i pid
    for ((i = 0; i < 200; i++)); do
        for pid in $(pgrep -f "$1"); do
            tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
                { echo "$pid"; return; }
        done
        sleep 0.1
    done
}

# Stops the process with the Unix pid $1 (SIGSTOP) as soon as it has forked: a Windows program
# under Wine forks when it starts another, and then waits until that one has loaded, so stopped
# then it cannot end before the test lets it, while the program it started goes on.
stop_once_it_forks() {
    local child=""
    while [ -e "/proc/$1/task" ]; do
        read -r child <"/proc/$1/task/$1/children" 2>/dev/null
        [ -n "$child" ] && { kill -STOP "$1"; return 0; }
    done
    return 1
}

# A script that uninstalls and at once installs again, as a repair by a deployment tool does, must
# not end with an installation that lacks its uninstaller or whose folder was removed under it: the
# copy that removes uninstall.exe once the uninstaller has ended holds the installation guard until
# it is done, so the installation is refused (exit 4, and retried) until then. The copy is made
# slow: the uninstaller is stopped as it starts the copy, the copy once it waits for the
# uninstaller, and the uninstaller is let go to end.
scenario_reinstall_at_once() {
    open_sandbox en
    local dir="$drive_c/Demo Again" uninstaller copy code tries
    install_and_start 'C:\Demo Again'
    wine "$dir/uninstall.exe" /S >/dev/null 2>&1 &
    uninstaller=$!
    stop_once_it_forks "$uninstaller"
    copy=$(unix_pid_of 'uninstall-[0-9a-f]{32}.uninstall\.exe /finish')
    check "[ -n '$copy' ]" "the uninstaller starts its copy"
    # The copy checks the uninstaller it was handed and waits for it to end.
    sleep 1
    kill -STOP $copy
    kill -CONT "$uninstaller"
    wait "$uninstaller"
    rc=$?
    check "[ $rc -eq 0 ] && [ -f '$dir/uninstall.exe' ] && ! has_key" \
        "the uninstaller ends, leaving uninstall.exe to its copy (exit $rc)"
    wine "$SETUP" /S '/D=C:\Demo Again' >/dev/null 2>&1
    code=$?
    check "[ $code -eq 4 ]" "setup.exe /S while the copy still has work exits with 4 (got $code)"
    kill -CONT $copy
    check "wait_gone /proc/$copy 20" "the copy has ended"
    check "[ ! -e '$dir' ] || installed_everything '$dir'" "no installation is left without its uninstaller"
    for ((tries = 0; tries < 60; tries++)); do
        wine "$SETUP" /S '/D=C:\Demo Again' >/dev/null 2>&1
        code=$?
        [ $code -eq 4 ] || break
        sleep 0.5
    done
    check "[ $code -eq 0 ] && installed_everything '$dir' && has_key" \
        "retried, the installation succeeds and is whole (got $code)"
}

copy_folders() { find "$user_dir" -maxdepth 3 -type d -name 'uninstall-*'; }

# Run as a user would, the confirmation answered from the test. While it asks, a listed subfolder
# and a listed file are swapped for links to a folder outside holding files of the same names:
# those survive. The copy that removes uninstall.exe starts only once the last message is
# answered, from a new folder of its own.
scenario_interactive_run() {
    open_sandbox en
    local dir="$drive_c/Demo Ask" outside="$drive_c/Outside" f text
    install_and_start 'C:\Demo Ask'
    mkdir -p "$outside"
    for f in prob_start.utf8 prob_trans.utf8 config.ini; do echo "mine" >"$outside/$f"; done
    wine "$dir/uninstall.exe" >/dev/null 2>&1 &
    local pid=$!
    text=$(drive dialog-text uninstall.exe 20000)
    check "[[ \"\$text\" == 'Remove Marlin Data Recovery (iOS) and all'* ]]" "it asks first (got '$text')"
    rm -r "$dir/dict/pos_dict" "$dir/config.ini"
    ln -s "$outside" "$dir/dict/pos_dict" && ln -s "$outside/config.ini" "$dir/config.ini"
    drive answer uninstall.exe 6 || fail "the confirmation is answered Yes"

    text=$(drive dialog-text uninstall.exe 20000)
    check "[[ \"\$text\" == *'could not be removed'* ]]" "it tells what it left (got '$text')"
    sleep 1
    check "[ -f '$dir/uninstall.exe' ] && [ \"\$(drive count-processes uninstall.exe)\" = 1 ]" \
        "no copy runs while the last message shows"
    drive answer uninstall.exe 1 || fail "the last message is answered"
    wait "$pid"
    rc=$?
    check "[ $rc -eq 1 ]" "exit 1: the listed files behind links are left (exit $rc)"
    check "wait_gone '$dir/uninstall.exe' 20" "the copy removed the uninstaller once it ended"
    check "[ \"\$(cat '$outside'/*)\" = \"\$(printf 'mine\nmine\nmine')\" ]" \
        "the files of the same names behind the links survive"
    check "[ ! -e '$dir/translations' ] && [ ! -e '$dir/vivevadiz.exe' ] && ! has_key" \
        "everything else installed and registered is gone"
    local name
    name=$(basename "$(find "$user_dir" -maxdepth 3 -type d -name 'uninstall-*')")
    check "[[ '$name' =~ ^uninstall-[0-9a-f]{32}\$ ]]" "the copy ran from a new folder of its own ($name)"
    check "wine reg query 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations 2>/dev/null | grep -qi '$name\\\\uninstall.exe.*$name\\\\0'" \
        "the copy and then its folder are to be deleted at the next restart"
}

# DLLs named like those our programs load, or the system loads for them, planted where each program
# runs from. WINEDLLOVERRIDES=NAME=n,b makes Wine look for NAME in the program's folder first, as
# Windows does for every DLL that is not a KnownDLL. Left out: version, zlib1 and shcore, which
# Wine's own user32 and shlwapi import as a process starts, before any code of ours runs (Windows
# takes a KnownDLL's imports from System32).
PLANTED="gdiplus uxtheme dwmapi textshaping cryptbase propsys windowscodecs msimg32 winmm comctl32
dwrite oleacc userenv profapi sspicli secur32 crypt32 wintrust urlmon iertutil explorerframe
linkinfo ntshrui cscapi edputil"

plant() {  # unix-dir names...
    mkdir -p "$1"
    local dir=$1 name
    shift
    for name in "$@"; do cp "$PLANTED_DLL" "$dir/$name.dll" || fail "plant $name.dll in $dir"; done
}

markers() { find "$drive_c" -name 'planted-*.txt' -printf '%f '; }

# setup.exe from a downloads folder, the product and the uninstaller from the install folder, the
# uninstaller's copy from its new folder: not one planted DLL is ever loaded. That folder cannot
# be known before the uninstaller makes it, so its DLLs are planted while the copy waits there,
# not yet started, for the last message to be answered.
scenario_no_planted_dll_loads() {
    open_sandbox en
    local downloads="$drive_c/Downloads" dir="$drive_c/Program Files/Planted" pid
    # The test can see a loaded DLL: Wine's user32 loads version.dll from beside the driver.
    plant "$downloads" version
    cp "$DRIVER" "$downloads/driver.exe"
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;version=n,b" wine "$downloads/driver.exe" count-processes x >/dev/null 2>&1
    check "[ \"\$(markers)\" = 'planted-version.dll.by-driver.exe.txt ' ]" "a planted DLL that is loaded leaves its marker"
    rm -f "$downloads"/*

    plant "$downloads" $PLANTED && plant "$dir" $PLANTED
    cp "$SETUP" "$downloads/setup.exe"
    SETUP="$downloads/setup.exe"
    # Without a debugger, a program that crashes in a planted DLL ends instead of waiting.
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$(echo $PLANTED | tr ' ' ,)=n,b;winedbg.exe=d"
    wine "$SETUP" >/dev/null 2>&1 &
    pid=$!
    drive wait-visible $INSTALL 30000 || fail "the welcome page shows"
    drive click $CLOSE
    wait "$pid"
    install_and_start 'C:\Program Files\Planted'
    uninstall_silently "$dir/uninstall.exe"
    check "[ $rc -eq 0 ] && wait_gone '$dir/uninstall.exe' 20" "uninstall.exe /S removes everything (exit $rc)"

    install_and_start 'C:\Program Files\Planted'
    local before copy
    before=$(copy_folders)
    wine "$dir/uninstall.exe" >/dev/null 2>&1 &
    pid=$!
    drive dialog-text uninstall.exe 20000 >/dev/null && drive answer uninstall.exe 6 || fail "it asks, and is answered Yes"
    drive dialog-text uninstall.exe 20000 >/dev/null || fail "it shows its last message"
    copy=$(comm -13 <(echo "$before" | sort) <(copy_folders | sort))
    check "[ -f '$copy/uninstall.exe' ]" "the copy waits in its new folder ($(basename "$copy"))"
    plant "$copy" $PLANTED
    drive answer uninstall.exe 1 || fail "the last message is answered"
    wait "$pid"
    check "wait_gone '$dir/uninstall.exe' 20" "the copy started among planted DLLs removed the uninstaller"
    local loaded
    loaded=$(markers)
    check "[ -z '$loaded' ]" "no planted DLL was loaded ($loaded)"
}

# Installs with setup.exe /S and the rest of the command line $1; checks exit 0 and no window.
install_silently() {  # switches
    run_unattended "\"$(windows_path "$SETUP")\" /S $1"
    check "[ $rc -eq 0 ] && no_window_seen" "setup.exe /S $1: exit 0 (got $rc), no window ($(probe_summary))"
}

listed_by_the_system() { wine uninstaller --list 2>/dev/null | tr -d '\r'; }

# setup.exe /S and uninstall.exe /S /LOG= as a deployment tool runs them: no window of either (nor
# of the uninstaller's copy), everything removed, every step in the log. The system's own
# Add/Remove Programs client lists the product in between. A command line the uninstaller does not
# understand, /S in it, is refused without a window too.
scenario_silent_with_log() {
    open_sandbox en
    local dir="$drive_c/Program Files/Demo Silent" log="$drive_c/remove.log" listed
    install_silently '/D=C:\Program Files\Demo Silent'
    check "installed_everything '$dir' && has_key" "the demo payload is installed and registered"
    check "[ -f '$programs/Marlin Data Recovery/$link_name' ] && [ -f '$user_dir/Desktop/$link_name' ]" \
        "both shortcuts are made"
    check "[ \"\$(drive count-processes vivevadiz.exe)\" = 0 ]" "the product was not started"
    listed=$(listed_by_the_system)
    check "grep -q '|||Marlin Data Recovery (IOS)\$' <<<\"\$listed\"" \
        "the system's Add/Remove Programs client lists the product ($(tr '\n' ';' <<<"$listed"))"

    uninstall_watched "$dir/uninstall.exe" '/S /BOGUS'
    check "[ $rc -eq 64 ] && no_window_seen" "/S with a switch it does not know: exit 64 (got $rc), no window ($(probe_summary))"
    check "installed_everything '$dir' && has_key" "and nothing was removed"

    uninstall_watched "$dir/uninstall.exe" '/S /LOG=C:\remove.log'
    check "[ $rc -eq 0 ]" "uninstall.exe /S /LOG= exits with 0 (got $rc)"
    check "no_window_seen && grep -qx 'started 2' <<<\"\$probe\"" \
        "neither the uninstaller nor its copy shows a window ($(probe_summary))"
    check "wait_gone '$dir' 20" "everything installed goes, the folder with it"
    check "! has_key && [ ! -e '$programs/Marlin Data Recovery' ] && [ ! -e '$user_dir/Desktop/$link_name' ]" \
        "the Uninstall entry and both shortcuts are gone"
    check "! listed_by_the_system | grep -q 'Marlin Data Recovery'" "the system no longer lists the product"
    check_log_steps "$log" "a silent uninstall" \
        "uninstaller 2\.0\.0, command line: \"C:\\\\Program Files\\\\Demo Silent\\\\uninstall\.exe\" /S /LOG=C:\\\\remove\.log" \
        "product VivevaDiz: Marlin Data Recovery \(IOS\) 2\.0\.0, uninstaller C:\\\\Program Files\\\\Demo Silent\\\\uninstall\.exe" \
        "install folder C:\\\\Program Files\\\\Demo Silent\\\\" "uninstall\.lst: 9 names" \
        "end processes vivevadiz\.exe: done \(0 ended\)" "listed files: all removed" \
        "emptied folders: all removed" "shortcuts: all removed" "Uninstall entry: deleted" \
        "the copy that removes uninstall\.exe once this ends: started, C:\\\\.*\\\\uninstall-[0-9a-f]{32}\\\\uninstall\.exe" \
        "exit code 0"
}

# docs/deployment.md tells publishers which switches and commands to give winget, Chocolatey and
# Intune. They are read out of it here and run exactly as written, so the page cannot drift from
# the programs.
scenario_deployment_document() {
    open_sandbox en
    local doc="$root/docs/deployment.md" setup
    setup=$(windows_path "$SETUP")
    switch() { sed -n "s/^  $1: //p" "$doc"; }
    local silent location logging code version invalid
    silent=$(switch Silent) location=$(switch InstallLocation) logging=$(switch Log)
    code=$(sed -n 's/^ProductCode: //p' "$doc") version=$(sed -n 's/^PackageVersion: //p' "$doc")
    invalid=$(awk '/InstallerReturnCode:/ { code = $NF } /ReturnResponse: invalidParameter/ { print code }' "$doc")
    check "[ \"$(switch SilentWithProgress)\" = '$silent' ] && [ -n '$silent' ] && [ -n '$location' ] && [ -n '$logging' ]" \
        "the winget manifest gives its switches ($silent | $location | $logging)"

    # winget: the switches in its order, the placeholders filled in; upgrade detection through the
    # key named by ProductCode and its DisplayVersion; removal through QuietUninstallString.
    local folder='C:\Program Files\Winget Test'
    mkdir -p "$drive_c/winget logs"
    run_unattended "\"$setup\" $silent ${logging//<LOGPATH>/C:\\winget logs\\setup.log} ${location//<INSTALLPATH>/$folder}"
    check "[ $rc -eq 0 ] && no_window_seen" "winget's install: exit 0 (got $rc), no window ($(probe_summary))"
    local key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$code"
    entry_value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
    check "[ \"\$(entry_value InstallLocation)\" = '$folder' ] && [ \"\$(entry_value DisplayVersion)\" = '$version' ]" \
        "ProductCode $code names the entry, with the manifest's version and the folder asked for"
    check "installed_everything '$drive_c/Program Files/Winget Test'" "installed where InstallLocation said"
    check "log_has '$drive_c/winget logs/setup.log' 'exit code 0'" "logged where Log said, a space in its path"
    run_unattended "$(entry_value QuietUninstallString)" uninstall.exe
    check "[ $rc -eq 0 ] && no_window_seen" "winget's removal: exit 0 (got $rc), no window ($(probe_summary))"
    check "! has_key && wait_gone '$drive_c/Program Files/Winget Test' 60" "and the product is gone"
    run_unattended "\"$setup\" $silent /NOSUCHSWITCH"
    check "[ $rc -eq '$invalid' ] && no_window_seen" "a parameter not understood gives the code listed as invalidParameter ($invalid, got $rc)"

    # Chocolatey: its silent arguments and valid exit codes, then its uninstall script's.
    local choco_install choco_valid choco_uninstall default="$drive_c/Program Files/Marlin/MarlinDataRecoveryiOS"
    choco_install=$(sed -n "s/^  silentArgs *= '\(.*\)'\$/\1/p" "$doc")
    choco_valid=$(sed -n 's/^  validExitCodes = @(\(.*\))$/\1/p' "$doc" | tr ',' ' ')
    choco_uninstall=$(sed -n "s/.* -SilentArgs '\([^']*\)'.*/\1/p" "$doc")
    run_unattended "\"$setup\" $choco_install"
    check "[[ ' $choco_valid ' == *' $rc '* ]] && no_window_seen" "Chocolatey's install: exit $rc among its valid codes ($choco_valid)"
    check "installed_everything '$default'" "into the default folder"
    run_unattended "\"$(entry_value UninstallString | tr -d '"')\" $choco_uninstall" uninstall.exe
    check "[ $rc -eq 0 ] && ! has_key && wait_gone '$default' 60" "Chocolatey's removal (exit $rc)"

    # Intune and Configuration Manager: the commands of the settings table, setup.exe being the file
    # the tool wrapped.
    local install_command uninstall_command
    install_command=$(sed -n 's/^| Install command | `\(.*\)` |$/\1/p' "$doc")
    uninstall_command=$(sed -n 's/^| Uninstall command | `\(.*\)` |$/\1/p' "$doc")
    check "[[ '$install_command' == 'setup.exe '* ]] && [ -n '$uninstall_command' ]" \
        "the settings table gives both commands ($install_command | $uninstall_command)"
    run_unattended "\"$setup\" ${install_command#setup.exe }"
    check "[ $rc -eq 0 ] && no_window_seen && installed_everything '$default'" "Intune's install command (exit $rc)"
    run_unattended "$uninstall_command" uninstall.exe
    check "[ $rc -eq 0 ] && no_window_seen && ! has_key && wait_gone '$default' 60" "Intune's uninstall command (exit $rc)"
}

case $scenario in
    removes_what_it_installed_*) scenario_removes_what_it_installed "${scenario##*_}" ;;
    *) "scenario_$scenario" ;;
esac
wine_sandbox_close
echo "$failures failed"
[ $failures -eq 0 ]
