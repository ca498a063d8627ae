#!/usr/bin/env bash
# Whole-program tests of the demo product's uninstaller: the real setup.exe with the demo payload
# installs from the command line under Wine, the product starts, and uninstall.exe /S removes what
# was installed and registered, leaving what it did not install.
#   uninstall_program.sh SCENARIO   (SETUP, DRIVER, UNINSTALLER, VIVEVADIZ, VERSION_READER,
#                                    PLANTED_DLL, RECORDER and WINE_TEMPLATE from the environment)
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
    end_within "$pid" 60 "setup.exe, its window closed"
    local title
    title=$(drive wait-window-of vivevadiz.exe 20000)
    check "[ \"\$title\" = '$product_title' ]" "the product runs and shows its name (got '$title')"
}

# Runs the uninstaller at the Unix path $1 with /S; sets rc.
uninstall_silently() {
    run_within 120 "uninstall.exe /S" "$1" /S
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

# Nothing left behind: the install folder itself goes, and so do the folders the installation made
# above it; a folder that was there before stays.
scenario_removes_the_folder() {
    open_sandbox en
    local dir="$drive_c/Demo Clean/Made/App"
    mkdir -p "$drive_c/Demo Clean"
    install_and_start 'C:\Demo Clean\Made\App'
    check "wine reg query '$KEY' /v HighestFolderMade 2>/dev/null | grep -q 'C:.Demo Clean.Made'" \
        "the entry records the highest folder the installation made"
    uninstall_silently "$dir/uninstall.exe"
    check "[ $rc -eq 0 ]" "uninstall.exe /S exits with 0 (exit $rc)"
    check "wait_gone '$drive_c/Demo Clean/Made' 20" \
        "the emptied install folder and the folder made above it are removed once the uninstaller ends"
    check "[ -d '$drive_c/Demo Clean' ]" "the folder that was there before stays"
    check "wine reg query 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations 2>/dev/null | grep -qi 'uninstall-'" \
        "the temporary copy is to be deleted at the next restart"
}

# A copy of the uninstaller in another folder than the registered one, with its list beside it,
# removes its own folder's listed files and leaves the registered installation alone: its files,
# its Uninstall entry, its shortcuts and its running product. A copy in a folder that holds the
# registered one, or lies in it, could reach those files through its list: it refuses.
scenario_copy_in_another_folder() {
    open_sandbox en
    local dir="$drive_c/Demo A" other="$drive_c/Elsewhere"
    install_and_start 'C:\Demo A'
    mkdir -p "$other"
    cp "$dir/uninstall.exe" "$dir/uninstall.lst" "$dir/config.ini" "$dir/vivevadiz.exe" "$other/"
    echo "my notes" >"$other/notes.txt"
    wine "$other/vivevadiz.exe" >/dev/null 2>&1 &
    local i
    for ((i = 0; i < 100; i++)); do [ "$(drive count-processes vivevadiz.exe)" = 2 ] && break; sleep 0.1; done
    check "[ \"\$(drive count-processes vivevadiz.exe)\" = 2 ]" "the product also runs from the copy's folder"
    uninstall_watched "$other/uninstall.exe" '/S /LOG=C:\copy.log'
    check "[ $rc -eq 0 ]" "an uninstaller outside the registered folder removes its own files (exit $rc)"
    check "no_window_seen" "it shows no window under /S ($(probe_summary))"
    check "log_has '$drive_c/copy.log' 'install folder C:.Elsewhere. (the Uninstall entry names another folder, C:.Demo A: this folder.s own files are removed, nothing registered)'" \
        "the log says whose files it removes"
    check "[ ! -e '$other/config.ini' ] && [ ! -e '$other/vivevadiz.exe' ] && [ ! -e '$other/uninstall.lst' ] && wait_gone '$other/uninstall.exe' 20" \
        "its listed files go, the program it ended among them, itself through its copy"
    check "[ -f '$other/notes.txt' ]" "a file it did not list stays"
    check "installed_everything '$dir' && has_key" "the registered installation is untouched"
    check "[ -f '$programs/Marlin Data Recovery/$link_name' ] && [ -f '$user_dir/Desktop/$link_name' ]" \
        "the shortcuts stay"
    check "[ \"\$(drive count-processes vivevadiz.exe)\" = 1 ]" \
        "only the product running from its own folder was ended: the registered one keeps running"

    mkdir -p "$dir/inner"
    cp "$dir/uninstall.exe" "$dir/uninstall.lst" "$dir/inner/"
    uninstall_watched "$dir/inner/uninstall.exe" '/S /LOG=C:\inner.log'
    check "[ $rc -eq 64 ] && no_window_seen" "a copy inside the registered folder refuses (exit $rc) without a window"
    check "log_has '$drive_c/inner.log' 'failed: the Uninstall entry names a folder that holds this one or lies in it: C:.Demo A'" \
        "the log says why it refused"
    check "installed_everything '$dir' && [ -f '$dir/inner/uninstall.lst' ] && has_key" "it deletes nothing"
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
    run_within 60 "uninstall.exe /finish" "$dir/uninstall.exe" /finish 4 'C:\Demo NoList\uninstall.exe'
    rc=$?
    check "[ $rc -eq 64 ]" "a /finish naming the uninstaller itself refuses (exit $rc)"
    mkdir -p "$drive_c/Elsewhere"
    cp "$UNINSTALLER" "$drive_c/Elsewhere/uninstall.exe"
    for handle in 4 8 12 16 20 24 28 32 36 40 44 48 52 56 60 64; do
        run_within 60 "uninstall.exe /finish" "$drive_c/Elsewhere/uninstall.exe" /finish $handle \
            'C:\Demo NoList\uninstall.exe'
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
    text=$(drive dialog-text uninstall.exe 60000)
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
    end_within "$pid" 30 uninstall.exe
    check "wait_gone '$dir/uninstall.exe' 20" "then the copy removes it, named in \\\\?\\ form"
    check "[ -f '$dir/vivevadiz.exe' ]" "and nothing else: the folder still holds the product"
}

# The first line of the file $1 that matches the pattern $2, waited for while the driver with the
# Unix pid $3 runs, at most $4 s; empty when none came.
driver_line() {  # file pattern pid seconds
    local line i
    for ((i = 0; i <= $4 * 10; i++)); do
        line=$(tr -d '\r' <"$1" | grep -a -m 1 -x "$2")
        [ -n "$line" ] || ! kill -0 "$3" 2>/dev/null && break
        sleep 0.1
    done
    [ -n "$line" ] || line=$(tr -d '\r' <"$1" | grep -a -m 1 -x "$2")
    echo "$line"
}

# A script that uninstalls and at once installs again, as a repair by a deployment tool does, must
# not end with an installation that lacks its uninstaller or whose folder was removed under it: the
# copy that removes uninstall.exe once the uninstaller has ended holds the installation guard until
# it is done, so the installation is refused (exit 4, and retried) until then. The copy is made
# slow: the driver runs the uninstaller as a debugger and holds the copy at its first debug event
# until the test lets it go, while the uninstaller runs to its end.
scenario_reinstall_at_once() {
    open_sandbox en
    local dir="$drive_c/Demo Again" out="$WINE_SANDBOX/hold.txt" code tries held
    install_and_start 'C:\Demo Again'
    : >"$out"
    wine "$DRIVER" hold-copy 120000 'C:\go' '"C:\Demo Again\uninstall.exe" /S' >"$out" 2>&1 &
    local holder=$!
    held=$(driver_line "$out" 'held [0-9]*' "$holder" 130)
    check "[ -n '$held' ]" "the uninstaller starts its copy, which is held"
    check "[ '${held#held }' = 0 ] && [ -f '$dir/uninstall.exe' ] && ! has_key" \
        "the uninstaller ends, leaving uninstall.exe to its copy ($held)"
    run_within 120 "setup.exe /S" "$SETUP" /S '/D=C:\Demo Again'
    code=$?
    check "[ $code -eq 4 ]" "setup.exe /S while the copy still has work exits with 4 (got $code)"
    touch "$drive_c/go"
    check "[ -n \"\$(driver_line '$out' 'copy ended' $holder 130)\" ]" "the copy has ended"
    end_within "$holder" 30 "the driver holding the copy"
    grep -a '^driver:' "$out"
    check "[ ! -e '$dir' ] || installed_everything '$dir'" "no installation is left without its uninstaller"
    for ((tries = 0; tries < 60; tries++)); do
        run_within 120 "setup.exe /S" "$SETUP" /S '/D=C:\Demo Again'
        code=$?
        [ $code -eq 4 ] || break
        sleep 0.5
    done
    check "[ $code -eq 0 ] && installed_everything '$dir' && has_key" \
        "retried, the installation succeeds and is whole (got $code)"
}

# The folders the uninstaller placed its copy in: the system's own temporary folder.
copy_folders() {
    find "$drive_c/windows/SystemTemp" "$drive_c/windows/temp" -maxdepth 1 -type d \
        -name 'uninstall-*' 2>/dev/null
}

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
    text=$(drive dialog-text uninstall.exe 60000)
    check "[[ \"\$text\" == 'Remove Marlin Data Recovery (iOS) and all'* ]]" "it asks first (got '$text')"
    rm -r "$dir/dict/pos_dict" "$dir/config.ini"
    ln -s "$outside" "$dir/dict/pos_dict" && ln -s "$outside/config.ini" "$dir/config.ini"
    drive answer uninstall.exe 6 || fail "the confirmation is answered Yes"

    text=$(drive dialog-text uninstall.exe 60000)
    check "[[ \"\$text\" == *'could not be removed'* ]]" "it tells what it left (got '$text')"
    sleep 1
    check "[ -f '$dir/uninstall.exe' ] && [ \"\$(drive count-processes uninstall.exe)\" = 1 ]" \
        "no copy runs while the last message shows"
    drive answer uninstall.exe 1 || fail "the last message is answered"
    end_within "$pid" 60 "uninstall.exe, its last message answered"
    rc=$?
    check "[ $rc -eq 1 ]" "exit 1: the listed files behind links are left (exit $rc)"
    check "wait_gone '$dir/uninstall.exe' 20" "the copy removed the uninstaller once it ended"
    check "[ \"\$(cat '$outside'/*)\" = \"\$(printf 'mine\nmine\nmine')\" ]" \
        "the files of the same names behind the links survive"
    check "[ ! -e '$dir/translations' ] && [ ! -e '$dir/vivevadiz.exe' ] && ! has_key" \
        "everything else installed and registered is gone"
    local name
    name=$(basename "$(copy_folders)")
    check "[[ '$name' =~ ^uninstall-[0-9a-f]{32}\$ ]]" "the copy ran from a new folder of its own in the system's temporary folder ($name)"
    check "[ -z \"\$(find '$user_dir' -name 'uninstall-*')\" ]" "none lies in the user's temporary folder"
    check "wine reg query 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations 2>/dev/null | grep -qi '$name\\\\uninstall.exe.*$name\\\\0'" \
        "the copy and then its folder are to be deleted at the next restart"
}

# Every file below drive C but the install folder $1 and the product's shortcuts, which the
# uninstaller deletes.
files_outside() {  # unix dir
    find "$drive_c" -path "$1" -prune -o -type f ! -name "$link_name" -print | sort
}

# The stand-in's marker, left wherever it ran.
markers_of_stand_in() { find "$drive_c" -name 'launched.t*' -printf '%p '; }

# A process that could rename the folder the copy lies in puts its own uninstall.exe (a stand-in
# that leaves a marker when it runs) in a folder of the same name. The uninstaller starts the copy
# it placed or none at all: the stand-in never runs; nothing outside the install folder is deleted,
# the stand-in included; what was done is logged and matches the exit code and the install folder.
# Wine lets a Unix rename through a folder held without delete sharing, which Windows would refuse
# at every level of that path; this test is the fault Windows is guarded against twice.
check_swap_outcome() {  # dir, log, rc, files outside before, what
    local dir=$1 log=$2 code=$3 before=$4 what=$5 gone
    check "[ -z \"\$(markers_of_stand_in)\" ]" "$what: the planted uninstall.exe never ran ($(markers_of_stand_in))"
    check "cmp -s '$RECORDER' '$planted/uninstall.exe'" "$what: the planted uninstall.exe is left as it was"
    gone=$(comm -23 <(echo "$before") <(files_outside "$dir") | tr '\n' ' ')
    check "[ -z '$gone' ]" "$what: nothing outside the install folder was deleted ($gone)"
    if log_has "$log" 'the copy that removes uninstall\.exe once this ends: started, .*'; then
        check "[ $code -eq 0 ] && wait_gone '$dir' 20" \
            "$what: the copy it placed was started and removed the uninstaller and its folder (exit $code)"
    else
        check "log_has '$log' 'the copy that removes uninstall\.exe once this ends: not started: .*'" \
            "$what: the log says the copy was not started ($(log_texts "$log" | grep -a 'the copy that'))"
        sleep 2
        check "[ $code -eq 1 ] && [ -f '$dir/uninstall.exe' ] && ! has_key" \
            "$what: it exits with 1, leaving only uninstall.exe (exit $code)"
    fi
}

# The folder the copy lies in, as it appears, renamed away and replaced by a folder of the same
# name holding the stand-in; sets planted.
swap_copy_folder() {  # folder
    planted=$1
    mv "$planted" "$planted.away" && mkdir "$planted" && cp "$RECORDER" "$planted/uninstall.exe"
}

scenario_copy_folder_swapped() {
    open_sandbox en
    local dir="$drive_c/Demo Swap" log="$drive_c/swap.log" text pid before copy
    install_and_start 'C:\Demo Swap'
    wine "$dir/uninstall.exe" '/LOG=C:\swap.log' >/dev/null 2>&1 &
    pid=$!
    drive dialog-text uninstall.exe 60000 >/dev/null && drive answer uninstall.exe 6 || fail "it asks, and is answered Yes"
    text=$(drive dialog-text uninstall.exe 60000)
    check "[[ \"\$text\" == *'removed'* ]]" "it shows its last message (got '$text')"
    copy=$(copy_folders)
    check "[ -f '$copy/uninstall.exe' ]" "the copy waits in its folder ($copy)"
    swap_copy_folder "$copy" || fail "the copy's folder is swapped"
    before=$(files_outside "$dir")
    drive answer uninstall.exe 1 || fail "the last message is answered"
    end_within "$pid" 60 "uninstall.exe, its last message answered"
    rc=$?
    check "log_has '$log' 'the copy that removes uninstall\.exe once this ends: not started: its folder or file is no longer where it was placed'" \
        "the uninstaller sees the swap before it starts anything"
    check_swap_outcome "$dir" "$log" "$rc" "$before" "swapped while the last message shows"
    check "[ -f '$copy.away/uninstall.exe' ]" "the copy placed, no longer where it was, is left (only Wine lets it move)"
}

# Unattended, the swap is made the moment the copy's folder appears: before the copy is started, or
# while it starts, or once it runs; whichever it meets, only the copy placed can run.
scenario_copy_folder_swapped_silent() {
    open_sandbox en
    local dir="$drive_c/Demo Swap" log="$drive_c/swap.log" pid before copy=""
    install_and_start 'C:\Demo Swap'
    before=$(files_outside "$dir")
    wine "$dir/uninstall.exe" /S '/LOG=C:\swap.log' >/dev/null 2>&1 &
    pid=$!
    local deadline=$((SECONDS + 60))
    while [ $SECONDS -lt $deadline ]; do
        set -- "$drive_c"/windows/temp/uninstall-*
        [ -d "$1" ] && copy=$1 && break
    done
    check "[ -n '$copy' ]" "the copy's folder appears ($copy)"
    swap_copy_folder "$copy" || fail "the copy's folder is swapped"
    end_within "$pid" 60 "uninstall.exe /S"
    rc=$?
    echo "what the uninstaller met: $(log_texts "$log" | grep -a 'the copy that')"
    check_swap_outcome "$dir" "$log" "$rc" "$before" "swapped as soon as it appears"
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
    end_within "$pid" 60 "setup.exe, its window closed"
    install_and_start 'C:\Program Files\Planted'
    uninstall_silently "$dir/uninstall.exe"
    check "[ $rc -eq 0 ] && wait_gone '$dir/uninstall.exe' 20" "uninstall.exe /S removes everything (exit $rc)"

    install_and_start 'C:\Program Files\Planted'
    local before copy
    before=$(copy_folders)
    wine "$dir/uninstall.exe" >/dev/null 2>&1 &
    pid=$!
    drive dialog-text uninstall.exe 60000 >/dev/null && drive answer uninstall.exe 6 || fail "it asks, and is answered Yes"
    drive dialog-text uninstall.exe 60000 >/dev/null || fail "it shows its last message"
    copy=$(comm -13 <(echo "$before" | sort) <(copy_folders | sort))
    check "[ -f '$copy/uninstall.exe' ]" "the copy waits in its new folder ($(basename "$copy"))"
    plant "$copy" $PLANTED
    drive answer uninstall.exe 1 || fail "the last message is answered"
    end_within "$pid" 60 "uninstall.exe, its last message answered"
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

# docs/deployment.md tells publishers what to give winget, Chocolatey, Intune and Configuration
# Manager. Its manifests, arguments, commands and return codes are read out of it here and run
# exactly as written, so the page cannot drift from the programs.
doc=$root/docs/deployment.md

# The lines of the block that follows the first line holding $1 (a manifest's path, a bold name).
doc_block() {
    awk -v key="$1" 'index($0, key) { found = 1; next }
        found && /^```/ { if (inside) exit; inside = 1; next } inside' "$doc"
}
# A top-level key's value in the manifest file $1.
manifest_value() { sed -n "s/^$2: //p" "$1" | tr -d "'"; }
entry_key() { echo "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$code"; }
entry_value() { wine reg query "$(entry_key)" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
# The Uninstall entry's DisplayName as written, in any language (reg query mangles non-ASCII).
display_name() {
    wine reg export "$(entry_key)" "$WINE_SANDBOX/entry.reg" /y >/dev/null 2>&1
    iconv -f UTF-16LE -t UTF-8 "$WINE_SANDBOX/entry.reg" | tr -d '\r' | sed -n 's/^"DisplayName"="\(.*\)"$/\1/p'
}
# Runs the Windows command line $1 exactly, without a probe (for commands that start nothing).
run_exactly() { wine "$DRIVER" run "$1" >/dev/null 2>&1; }

# The page's winget manifests, written out below the sandbox at the paths the page gives them.
write_manifests() {
    local path
    for path in $(grep -o '^`manifests/[^`]*\.yaml`:$' "$doc" | tr -d '`:'); do
        mkdir -p "$WINE_SANDBOX/$(dirname "$path")"
        doc_block "\`$path\`:" >"$WINE_SANDBOX/$path"
    done
}

# What the community repository takes: one folder manifests/<first letter, lower case>/<each part
# of the identifier>/<version> holding a version, an installer and a default-locale file named
# after the identifier, nothing else; one identifier, version and manifest version throughout, 1.10.0
# or later; each file's schema header naming its own type and that version.
check_manifest_set() {
    local version_file id version mver locale first folder type file key problems=""
    version_file=$(grep -rl '^ManifestType: version$' "$WINE_SANDBOX/manifests")
    id=$(manifest_value "$version_file" PackageIdentifier) version=$(manifest_value "$version_file" PackageVersion)
    mver=$(manifest_value "$version_file" ManifestVersion) locale=$(manifest_value "$version_file" DefaultLocale)
    first=${id:0:1}
    folder=$WINE_SANDBOX/manifests/${first,,}/${id//.//}/$version
    local -A name=([version]="$id.yaml" [installer]="$id.installer.yaml" [defaultLocale]="$id.locale.$locale.yaml")
    for type in "${!name[@]}"; do
        file=$folder/${name[$type]}
        [ -f "$file" ] || { problems+=" no $type file ${file#"$WINE_SANDBOX/"};"; continue; }
        [ "$(head -n 1 "$file")" = "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$type.$mver.schema.json" ] ||
            problems+=" $type header;"
        [ "$(manifest_value "$file" ManifestType)" = "$type" ] || problems+=" $type type;"
        for key in PackageIdentifier PackageVersion ManifestVersion; do
            [ "$(manifest_value "$file" $key)" = "$(manifest_value "$version_file" $key)" ] || problems+=" $type $key;"
        done
    done
    [ "$(manifest_value "$folder/${name[defaultLocale]}" PackageLocale)" = "$locale" ] || problems+=" PackageLocale;"
    [ "$(find "$WINE_SANDBOX/manifests" -type f | wc -l)" = 3 ] || problems+=" other files;"
    [ "$(printf '1.10.0\n%s\n' "$mver" | sort -V | head -n 1)" = 1.10.0 ] || problems+=" ManifestVersion $mver;"
    check "[ -z '$problems' ]" "the winget manifest is a multi-file set the community repository takes ($problems)"
    installer_manifest=$folder/${name[installer]}
}

# Intune and Configuration Manager type the code $1 as the page's return-code table says: the row
# of that code, or the row "any other".
code_types() {
    awk -F' *[|] *' -v code="$1" '$2 == code { print $5 "|" $6; found = 1; exit }
        $2 == "any other" { other = $5 "|" $6 } END { if (!found) print other }' "$doc"
}
declare -A TYPES=([success]="Success|Success (no reboot)" [retry]="Retry|Fast Retry" [failure]="Failed|Failure (no reboot)")
check_typed() {  # code, success|retry|failure, what
    local got
    got=$(code_types "$1")
    check "[ '$got' = '${TYPES[$2]}' ]" "$3: exit $1, which the page types $2 for Intune and Configuration Manager ($got)"
}

# Reads the page: its manifests written out and checked, the winget switches, the Chocolatey
# arguments (the line with a log as PowerShell expands it), the Intune commands.
read_document() {
    write_manifests
    check_manifest_set
    switch() { sed -n "s/^  $1: //p" "$installer_manifest"; }
    silent=$(switch Silent) location=$(switch InstallLocation) logging=$(switch Log)
    code=$(manifest_value "$installer_manifest" ProductCode) version=$(manifest_value "$installer_manifest" PackageVersion)
    check "[ \"$(switch SilentWithProgress)\" = '$silent' ] && [ -n '$silent' ] && [ -n '$location' ] && [ -n '$logging' ]" \
        "the winget manifest gives its switches ($silent | $location | $logging)"
    silent_args=$(sed -n "s/^  silentArgs *= '\(.*\)'\$/\1/p" "$doc")
    log_args=$(sed -n 's/^  silentArgs *= "\(.*\)"$/\1/p' "$doc" | sed 's/`"/"/g; s/\$env:TEMP/C:\\Temp Dir/')
    install_args=$(sed -n "s/^choco install .* --install-arguments=\"'\(.*\)'\"\$/\1/p" "$doc")
    check "[ -n '$silent_args' ] && [[ '$log_args' == *'/LOG=\"C:\\Temp Dir\\'* ]] && [[ '$install_args' == /D=D:\\\\* ]]" \
        "the Chocolatey section gives silentArgs ($silent_args), with a log ($log_args), and install arguments ($install_args)"
    install_command=$(doc_block '**Install command**')
    uninstall_command=$(doc_block '**Uninstall command**')
    check "[[ \$install_command == 'setup.exe '* ]] && [ \$(wc -l <<<\"\$uninstall_command\") = 1 ] && [[ \$uninstall_command == *' /reg:64'* ]]" \
        "the page gives both commands ($install_command | $uninstall_command)"
    if [ $failures -gt 0 ]; then
        # Commands missing from the page would start setup.exe with its window, which nobody closes.
        echo "$failures failed: the page does not read as it should, so nothing was run"
        wine_sandbox_close
        exit 1
    fi
    setup=$(windows_path "$SETUP")
    # The install arguments' folder lies on a drive D: of the sandbox's own.
    mkdir -p "$WINE_SANDBOX/drive_d" && ln -s "$WINE_SANDBOX/drive_d" "$WINEPREFIX/dosdevices/d:"
    on_d=${install_args#/D=D:\\}
    on_d=$WINE_SANDBOX/drive_d/${on_d//\\//}
}

scenario_deployment_document() {
    open_sandbox en
    read_document

    # winget: the switches in its order, the placeholders filled in; the entry named by ProductCode
    # with the manifest's version and a DisplayName it lists; removal through QuietUninstallString.
    local names invalid shown
    names=$(sed -n 's/^  - DisplayName: //p' "$installer_manifest")
    invalid=$(awk '/InstallerReturnCode:/ { code = $NF } /ReturnResponse: invalidParameter/ { print code }' "$installer_manifest")
    check "[ -n '$names' ] && ! grep -Eq '^ +DisplayVersion: $version\$' '$installer_manifest'" \
        "AppsAndFeaturesEntries gives DisplayNames and no DisplayVersion equal to PackageVersion"
    local folder='C:\Program Files\Winget Test'
    mkdir -p "$drive_c/winget logs"
    run_unattended "\"$setup\" $silent ${logging//<LOGPATH>/C:\\winget logs\\setup.log} ${location//<INSTALLPATH>/$folder}"
    check "[ $rc -eq 0 ] && no_window_seen" "winget's install: exit 0 (got $rc), no window ($(probe_summary))"
    check "[ \"\$(entry_value InstallLocation)\" = '$folder' ] && [ \"\$(entry_value DisplayVersion)\" = '$version' ]" \
        "ProductCode $code names the entry, with the manifest's version and the folder asked for"
    shown=$(display_name)
    check "[ -n '$shown' ] && grep -Fxq '$shown' <<<'$names'" "AppsAndFeaturesEntries lists the DisplayName the entry shows in English ($shown)"
    check "installed_everything '$drive_c/Program Files/Winget Test'" "installed where InstallLocation said"
    check "log_has '$drive_c/winget logs/setup.log' 'exit code 0'" "logged where Log said, a space in its path"
    run_unattended "$(entry_value QuietUninstallString)" uninstall.exe
    check "[ $rc -eq 0 ] && no_window_seen" "winget's removal: exit 0 (got $rc), no window ($(probe_summary))"
    check "! has_key && wait_gone '$drive_c/Program Files/Winget Test' 60" "and the product is gone"
    run_unattended "\"$setup\" $silent /NOSUCHSWITCH"
    check "[ $rc -eq '$invalid' ] && no_window_seen" "a parameter not understood gives the code listed as invalidParameter ($invalid, got $rc)"
    check_typed "$rc" failure "a parameter not understood"

    # Chocolatey: silentArgs with a log, under Chinese, then its uninstall script's arguments;
    # silentArgs with the install arguments appended, then the automatic uninstaller's
    # QuietUninstallString.
    local valid uninstall_args default="$drive_c/Program Files/Marlin/MarlinDataRecoveryiOS"
    valid=$(sed -n 's/^  validExitCodes = @(\(.*\))$/\1/p' "$doc" | tr ',' ' ')
    uninstall_args=$(sed -n "s/.* -SilentArgs '\([^']*\)'.*/\1/p" "$doc")
    mkdir -p "$drive_c/Temp Dir"
    LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 run_unattended "\"$setup\" $log_args"
    check "[[ ' $valid ' == *' $rc '* ]] && no_window_seen" "Chocolatey's install: exit $rc among its valid codes ($valid)"
    check "installed_everything '$default' && log_has '$drive_c/Temp Dir/marlin-setup.log' 'exit code 0'" "into the default folder, logged"
    shown=$(display_name)
    check "[ -n '$shown' ] && grep -Fxq '$shown' <<<'$names'" "AppsAndFeaturesEntries lists the DisplayName the entry shows in Chinese ($shown)"
    run_unattended "\"$(entry_value UninstallString | tr -d '"')\" $uninstall_args" uninstall.exe
    check "[ $rc -eq 0 ] && ! has_key && wait_gone '$default' 60" "Chocolatey's uninstall script (exit $rc)"
    run_unattended "\"$setup\" $silent_args $install_args"
    check "[ $rc -eq 0 ] && installed_everything '$on_d'" "Chocolatey's install with its install arguments (exit $rc)"
    run_unattended "$(entry_value QuietUninstallString)" uninstall.exe
    check "[ $rc -eq 0 ] && ! has_key && wait_gone '$on_d' 60" "Chocolatey's automatic uninstaller (exit $rc)"

    # Intune and Configuration Manager: the install command, setup.exe being the file the tool
    # wrapped, with /D= appended as the page says; the uninstall command reaches that folder
    # through the entry. While an installation runs both give the codes typed Retry.
    local elsewhere='C:\Apps Two\Marlin'
    run_unattended "\"$setup\" ${install_command#setup.exe } /D=$elsewhere"
    check "[ $rc -eq 0 ] && no_window_seen && installed_everything '$drive_c/Apps Two/Marlin'" "Intune's install command with /D= (exit $rc)"
    check_typed "$rc" success "the install command"
    wine "$SETUP" >/dev/null 2>&1 &
    local interactive=$!
    drive wait-main 30000 >/dev/null || fail "an interactive setup.exe runs meanwhile"
    run_unattended "\"$setup\" ${install_command#setup.exe }"
    check "[ $rc -eq 4 ] && no_window_seen" "the install command while an installation runs (exit $rc)"
    check_typed "$rc" retry "the install command while an installation runs"
    run_unattended "$uninstall_command" uninstall.exe
    check "[ $rc -eq 192 ] && no_window_seen && installed_everything '$drive_c/Apps Two/Marlin'" \
        "the uninstall command while an installation runs (exit $rc)"
    check_typed "$rc" retry "the uninstall command while an installation runs"
    drive click $CLOSE
    drive wait-gone 10000 || fail "the interactive setup.exe closes"
    end_within "$interactive" 60 "the interactive setup.exe, its window closed"
    # A 32-bit process's reg reads the registry's 32-bit view unless told /reg:64, and finds no entry.
    run_exactly "${uninstall_command//\/reg:64//reg:32}"
    rc=$?
    local left
    left=$(has_key && echo -n "entry kept, " || echo -n "entry gone, "; ls "$drive_c/Apps Two/Marlin" 2>&1 | tr '\n' ' ')
    check "[ $rc -ne 0 ] && has_key && installed_everything '$drive_c/Apps Two/Marlin'" \
        "the uninstall command reading the 32-bit view removes nothing (exit $rc; $left)"
    run_unattended "$uninstall_command" uninstall.exe
    check "[ $rc -eq 0 ] && no_window_seen && ! has_key && wait_gone '$drive_c/Apps Two/Marlin' 60" "Intune's uninstall command (exit $rc)"
    check_typed "$rc" success "the uninstall command"
}

# An update finds the installed product: winget's upgrade (its switches without the install
# location), Chocolatey's upgrade (silentArgs alone) and a supersedence's install command update the
# product where it is; /D= elsewhere moves it; /NORESTART, which deployment tools append, is ignored.
scenario_deployment_document_update() {
    open_sandbox en
    read_document
    local folder='C:\Apps Two\Marlin' log="$drive_c/upgrade.log" norestart
    run_unattended "\"$setup\" $silent ${location//<INSTALLPATH>/$folder}"
    check "[ $rc -eq 0 ] && installed_everything '$drive_c/Apps Two/Marlin'" "winget's install (exit $rc)"
    run_unattended "\"$setup\" $silent ${logging//<LOGPATH>/C:\\upgrade.log}"
    check "[ $rc -eq 0 ] && installed_everything '$drive_c/Apps Two/Marlin' && [ ! -e '$drive_c/Program Files/Marlin' ]" \
        "winget's upgrade updates the installed folder, and makes no default folder (exit $rc)"
    check "[ \"\$(entry_value InstallLocation)\" = '$folder' ] && log_texts '$log' | grep -qF '$folder'" \
        "the entry keeps its folder, which the log names"
    run_unattended "\"$setup\" $silent_args $install_args"
    check "[ $rc -eq 0 ] && installed_everything '$on_d' && no_payload_file_left '$drive_c/Apps Two/Marlin'" \
        "Chocolatey's install arguments naming another folder move the product there (exit $rc)"
    run_unattended "\"$setup\" $silent_args"
    check "[ $rc -eq 0 ] && installed_everything '$on_d' && [ ! -e '$drive_c/Program Files/Marlin' ]" \
        "Chocolatey's upgrade updates the moved product where it is (exit $rc)"
    norestart=$(sed -n 's/^| `\(setup\.exe [^`]*\/NORESTART\)` |.*/\1/p' "$doc")
    run_unattended "\"$setup\" ${norestart#setup.exe }"
    check "[ -n '$norestart' ] && [ $rc -eq 0 ] && installed_everything '$on_d'" "$norestart is an update like any other (exit $rc)"
    check_typed "$rc" success "$norestart"
    run_unattended "$uninstall_command" uninstall.exe
    check "[ $rc -eq 0 ] && ! has_key && wait_gone '$on_d' 60" "the uninstall command removes the product from its new folder (exit $rc)"
}

case $scenario in
    removes_what_it_installed_*) scenario_removes_what_it_installed "${scenario##*_}" ;;
    *) "scenario_$scenario" ;;
esac
wine_sandbox_close
echo "$failures failed"
[ $failures -eq 0 ]
