# Shared by the whole-program tests: waits that end in a failure instead of a hang, and for
# unattended runs a deployment tool's exact command line, a probe that watches the programs it
# starts for windows the whole time, and the run's log.
# Source it after defining check and fail; it uses DRIVER and WINE_SANDBOX.

# Whether FILE has a line holding TEXT within SECONDS.
wait_for_line() {  # text file seconds
    local i
    for ((i = 0; i < $3 * 10; i++)); do
        grep -q -- "$1" "$2" 2>/dev/null && return 0
        sleep 0.1
    done
    grep -q -- "$1" "$2" 2>/dev/null
}

# Waits for the background process PID at most SECONDS and returns its exit code. One that still
# runs then (a program waiting for an answer nobody gives) fails the test, named by WHAT, and is
# killed.
end_within() {  # pid seconds what
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$1" 2>/dev/null; then
        fail "$3 still ran after $2 s, and was killed"
        kill -KILL "$1" 2>/dev/null
        wait "$1" 2>/dev/null
        return 124
    fi
    wait "$1"
}

# Runs a Windows program to its end, at most SECONDS (as end_within), its output discarded; returns
# its exit code.
run_within() {  # seconds what program args...
    local seconds=$1 what=$2
    shift 2
    wine "$@" >/dev/null 2>&1 &
    end_within $! "$seconds" "$what"
}

# The Windows form of a path of this machine, as Wine reaches it.
windows_path() { echo "Z:${1//\//\\}"; }

# Runs the Windows command line $1 exactly as written, as a deployment tool does, while a probe
# watches every process named $2 (setup.exe unless given) started from then on for top-level
# windows, until they have all ended. Sets rc (the exit code) and probe (what the probe saw).
run_unattended() {  # command-line [exe]
    start_probe "${2:-setup.exe}"
    wine "$DRIVER" run "$1" >/dev/null 2>"$WINE_SANDBOX/run.txt"
    rc=$?
    grep -q 'still ran' "$WINE_SANDBOX/run.txt" && fail "$1: $(tr -d '\r' <"$WINE_SANDBOX/run.txt")"
    end_probe
}

start_probe() {  # exe
    : >"$WINE_SANDBOX/probe.txt"
    wine "$DRIVER" watch-windows "$1" 180000 >"$WINE_SANDBOX/probe.txt" 2>/dev/null &
    probe_pid=$!
    wait_for_line watching "$WINE_SANDBOX/probe.txt" 30 || fail "the probe watches for $1 within 30 s"
}

end_probe() {
    end_within "$probe_pid" 200 "the probe"
    probe_rc=$?
    probe=$(tr -d '\r' <"$WINE_SANDBOX/probe.txt")
}

# The probe saw the program start and end, and no window of it ever showed.
no_window_seen() {
    [ "$probe_rc" -eq 0 ] && grep -qx 'started [1-9][0-9]*' <<<"$probe" && grep -qx 'windows 0' <<<"$probe"
}
probe_summary() { tr '\n' ';' <<<"$probe"; }

# The log's lines without their times; fails when a line has no time.
log_texts() {  # unix path
    local bad
    bad=$(tr -d '\r' <"$1" | grep -cvE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} ')
    [ "$bad" = 0 ] || echo "UNSTAMPED LINES: $bad"
    tr -d '\r' <"$1" | cut -d' ' -f3-
}

# Whether the log has a line (without its time) matching PATTERN whole. The log is read to its
# end: a reader that stopped at the first match would leave the writer a broken pipe, which
# pipefail counts as a failure.
log_has() {  # unix-path pattern
    log_texts "$1" | grep -cx -- "$2" >/dev/null
}

# The lines of the log that are not entries, in order, match the patterns given (extended regular
# expressions, whole lines); entries come between the end of processes and the first step after.
check_log_steps() {  # unix path, what, patterns...
    local file=$1 what=$2
    shift 2
    local got
    got=$(log_texts "$file" | grep -v '^entry ')
    local expected=("$@") i=0 line ok=1
    while IFS= read -r line; do
        if [ $i -ge ${#expected[@]} ] || ! [[ "$line" =~ ^${expected[$i]}$ ]]; then
            ok=0
            echo "  unexpected log line $((i + 1)): $line (wanted ${expected[$i]:-nothing})"
            break
        fi
        i=$((i + 1))
    done <<<"$got"
    [ $ok = 1 ] && [ $i -eq ${#expected[@]} ] || ok=0
    check "[ $ok = 1 ]" "$what: the log's lines are as expected"
}

# Re-escapes text for a regular expression.
re() { sed 's/[][\.|$(){}?+*^]/\\&/g' <<<"$1"; }

# --- Scenarios of whole_program.sh: the folder an installation takes, and its forms ---------------

# The files an installation lists in its uninstall.lst, as paths below its folder.
listed_files() {  # list-file
    tr -d '\r' <"$1" | tr '\\' '/'
}
# Every file the list names is in DIR; none of them is.
all_listed_in() {  # unix-dir list-file
    local f
    while IFS= read -r f; do [ -f "$1/$f" ] || { echo "missing: $f"; return 1; }; done < <(listed_files "$2")
}
none_listed_in() {  # unix-dir list-file
    local f
    while IFS= read -r f; do [ ! -e "$1/$f" ] || { echo "left: $f"; return 1; }; done < <(listed_files "$2")
}

set_install_location() {  # value
    wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VivevaDiz' /v InstallLocation \
        /d "$1" /f >/dev/null 2>&1
}

# The next version's /S without /D= (what a package manager or device-management tool runs to
# upgrade) goes where the product is installed, and the welcome page offers that folder; an
# InstallLocation that cannot be used is ignored for the default folder, and the log says why.
scenario_update_keeps_folder() {
    open_sandbox en 96
    local setup v2 dir="$drive_c/Apps Two/Marlin" default="$drive_c/Program Files/Marlin" log="$drive_c/update.log"
    setup=$(windows_path "$SETUP") v2=$(windows_path "$SETUP_V2")
    run_unattended "\"$setup\" /S /D=C:\\Apps Two\\Marlin"
    check "[ $rc -eq 0 ] && all_listed_in '$dir' '$dir/uninstall.lst'" "version 1 installs into C:\\Apps Two\\Marlin"
    cp "$dir/uninstall.lst" "$WINE_SANDBOX/v1.lst"

    run_unattended "\"$v2\" /S /LOG=C:\\update.log"
    check "[ $rc -eq 0 ] && no_window_seen" "version 2's /S without /D= exits with 0 (got $rc)"
    check "all_listed_in '$dir' '$dir/uninstall.lst' && grep -q '^v2 1.1' '$dir/data/d1/f1.txt' && [ -f '$dir/plugins/p20/plugin.dll' ]" \
        "every file is updated in place, the new ones with them"
    check "[ ! -e '$default' ]" "the default folder is never created"
    check "[ \"\$(reg_value InstallLocation)\" = 'C:\\Apps Two\\Marlin' ] && [ \"\$(reg_value DisplayVersion)\" = 2.1.0 ]" \
        "InstallLocation is unchanged, and version 2 is registered"
    check "log_has '$log' 'install folder chosen: C:.Apps Two.Marlin (the installed product.s folder, from its Uninstall entry)'" \
        "the log names the folder and why it was taken"
    check "! log_has '$log' 'the product moved.*'" "an update in place moves nothing"

    # Interactively: the path edit starts with the installed folder, and Install installs there.
    start_setup
    check "[ \"\$(drive text $PATH_EDIT)\" = 'C:\\Apps Two\\Marlin' ]" "the welcome page's path edit shows the installed folder"
    drive click $INSTALL
    drive wait-visible $FINISH 60000 || fail "Install without opening the custom section succeeds"
    drive click $SHORTCUT
    drive click $LAUNCH
    drive click $CLOSE
    drive wait-gone 10000
    wait_setup
    check "grep -q '^1.1\$' '$dir/data/d1/f1.txt' && [ ! -e '$default' ] && [ \"\$(reg_value DisplayVersion)\" = 2.0.0 ]" \
        "Install put version 1 into the installed folder again, not into the default one"

    # An InstallLocation that is relative, empty, or on a drive that does not exist.
    local value reason
    while IFS='|' read -r value reason; do
        set_install_location "$value"
        rm -f "$drive_c/chosen.log"
        run_unattended "\"$setup\" /S /LOG=C:\\chosen.log"
        check "[ $rc -eq 0 ] && all_listed_in '$default/MarlinDataRecoveryiOS' '$WINE_SANDBOX/v1.lst'" \
            "InstallLocation '$value': installed into the default folder (exit $rc)"
        check "log_has '$drive_c/chosen.log' 'install folder chosen: C:.Program Files.Marlin.MarlinDataRecoveryiOS (the default folder: $reason)'" \
            "InstallLocation '$value': the log says why it was not used"
        check "all_listed_in '$dir' '$WINE_SANDBOX/v1.lst'" "InstallLocation '$value': nothing is removed from a folder it does not name"
    done <<'VALUES'
Apps Two\Marlin|the Uninstall entry.s InstallLocation "Apps Two.Marlin" is not a whole path
|the Uninstall entry names no InstallLocation
M:\Apps|the drive or share of the Uninstall entry.s InstallLocation "M:.Apps" does not exist
VALUES
}

# /D= naming another folder moves the product, as a major upgrade does: the first folder's listed
# files and its shortcuts go (a file of the user's own stays), a file held open there is left with
# a log line, and
# that copy's own uninstaller removes it later without touching the new installation. A folder
# inside the installed one is refused before anything is written.
scenario_update_moves_product() {
    open_sandbox en 96
    local setup v2 one="$drive_c/Apps/One" two="$drive_c/Apps/Two" three="$drive_c/Apps/Three" log="$drive_c/move.log"
    setup=$(windows_path "$SETUP") v2=$(windows_path "$SETUP_V2")
    run_unattended "\"$setup\" /S /D=C:\\Apps\\One"
    cp "$one/uninstall.lst" "$WINE_SANDBOX/v1.lst"
    echo "my notes" >"$one/notes.txt"
    echo "my words" >"$one/data/d5/mine.txt"

    check "[ -f \"$(desktop_link en)\" ]" "the first installation made a desktop shortcut"
    run_unattended "\"$v2\" /S /NODESKTOP /LOG=C:\\move.log /D=C:\\Apps\\Two"
    check "[ $rc -eq 0 ] && no_window_seen" "/D= into a second folder exits with 0 (got $rc)"
    check "[ ! -e \"$(desktop_link en)\" ] && [ -f \"$(start_menu_folder)/Marlin Data Recovery (iOS).lnk\" ]" \
        "the old desktop shortcut went with its folder (/NODESKTOP makes none); the Start-menu one is made again"
    cp "$two/uninstall.lst" "$WINE_SANDBOX/v2.lst"
    check "all_listed_in '$two' '$WINE_SANDBOX/v2.lst' && [ \"\$(reg_value InstallLocation)\" = 'C:\\Apps\\Two' ]" \
        "the product is in the second folder, and the entry names it"
    check "none_listed_in '$one' '$WINE_SANDBOX/v1.lst'" "the first folder's listed files are gone"
    check "[ -f '$one/notes.txt' ] && [ -f '$one/data/d5/mine.txt' ] && [ ! -e '$one/data/d6' ]" \
        "the user's own files stay with their folders; the emptied folders go"
    check "log_has '$log' 'the product moved here from C:.Apps.One' && log_has '$log' 'previous folder C:.Apps.One: every listed file removed; the folder stays, holding other files'" \
        "the log tells the move"

    # A file of the second folder held open by another program while the product moves on.
    cp "$SLEEPER" "$drive_c/holder.exe"
    wine 'C:\holder.exe' 'C:\Apps\Two\data\d3\f7.txt' >"$WINE_SANDBOX/holder.txt" 2>/dev/null &
    local holder=$!
    wait_for_line holding "$WINE_SANDBOX/holder.txt" 30 || fail "the other program holds the file"
    run_unattended "\"$v2\" /S /LOG=C:\\move.log /D=C:\\Apps\\Three"
    check "[ $rc -eq 0 ] && all_listed_in '$three' '$WINE_SANDBOX/v2.lst' && [ \"\$(reg_value InstallLocation)\" = 'C:\\Apps\\Three' ]" \
        "a held file in the old folder does not fail the move (exit $rc)"
    check "log_has '$log' 'previous folder C:.Apps.Two: left data.d3.f7.txt (in use, or behind a link)'" \
        "the log names the file left"
    check "[ -f '$two/data/d3/f7.txt' ] && [ -f '$two/uninstall.exe' ] && [ -f '$two/uninstall.lst' ] && [ ! -e '$two/vivevadiz.exe' ] && [ ! -e '$two/data/d1' ]" \
        "it stays with its uninstaller and list; the rest is gone"
    kill "$holder" 2>/dev/null
    wait "$holder" 2>/dev/null

    run_unattended "\"C:\\Apps\\Two\\uninstall.exe\" /S" uninstall.exe
    check "[ $rc -eq 0 ] && wait_gone_dir '$two' 20" "the old copy's uninstaller removes what is left of it (exit $rc)"
    check "all_listed_in '$three' '$WINE_SANDBOX/v2.lst' && [ \"\$(reg_value InstallLocation)\" = 'C:\\Apps\\Three' ]" \
        "and leaves the new installation and its entry alone"
    check "[ -f \"$(start_menu_folder)/Marlin Data Recovery (iOS).lnk\" ] && [ -f \"$(desktop_link en)\" ]" \
        "and its shortcuts"

    run_unattended "\"$v2\" /S /LOG=C:\\nested.log /D=C:\\Apps\\Three\\Inner"
    check "[ $rc -eq 2 ] && [ ! -e '$three/Inner' ]" "a folder inside the installed one is refused with nothing written (exit $rc)"
    check "log_has '$drive_c/nested.log' 'failed: C:.Apps.Three.Inner: the installed product.s folder C:.Apps.Three holds it or lies in it; the product cannot move there'" \
        "the log says why"
}

wait_gone_dir() {  # path seconds
    local i
    for ((i = 0; i < $2 * 10; i++)); do [ -e "$1" ] || return 0; sleep 0.1; done
    return 1
}

# /NORESTART is accepted and changes nothing, with /S and alone.
scenario_no_restart() {
    open_sandbox en 96
    local setup dir="$drive_c/No Restart" log="$drive_c/norestart.log"
    setup=$(windows_path "$SETUP")
    run_unattended "\"$setup\" /NORESTART /S /LOG=C:\\norestart.log /D=C:\\No Restart"
    check "[ $rc -eq 0 ] && no_window_seen && all_listed_in '$dir' '$dir/uninstall.lst'" \
        "/NORESTART /S installs (exit $rc) without a window ($(probe_summary))"
    check "log_has '$log' '/NORESTART: ignored, nothing installed needs a restart' && log_has '$log' 'outcome: succeeded'" \
        "the log says it was ignored"

    start_setup /NORESTART
    check "visible $INSTALL" "/NORESTART alone: the welcome page shows"
    drive click $CLOSE
    drive wait-gone 10000 || fail "the welcome page closes"
    wait_setup
}

# One folder rule and one form from the command line to the uninstaller: slashes, a missing level
# written with a slash, "\\?\" and the dots and spaces that end a level.
scenario_path_forms() {
    open_sandbox en 96
    local setup
    setup=$(windows_path "$SETUP")
    run_unattended "\"$setup\" /S /D=C:/Forms/Slashes"
    check "[ $rc -eq 0 ] && all_listed_in '$drive_c/Forms/Slashes' '$drive_c/Forms/Slashes/uninstall.lst'" \
        "/D=C:/Forms/Slashes installs (exit $rc)"
    check "[ \"\$(reg_value InstallLocation)\" = 'C:\\Forms\\Slashes' ] && [ \"\$(reg_value UninstallString)\" = '\"C:\\Forms\\Slashes\\uninstall.exe\"' ]" \
        "and registers the folder with backslashes"
    run_unattended "\"$setup\" /S /D=C:\\Fresh Top/Marlin"
    check "[ $rc -eq 0 ] && all_listed_in '$drive_c/Fresh Top/Marlin' '$drive_c/Fresh Top/Marlin/uninstall.lst'" \
        "a missing level written with a slash installs (exit $rc)"
    check "[ -z \"\$(find '$drive_c' -maxdepth 2 -name '~setup~*')\" ] && [ \"\$(reg_value InstallLocation)\" = 'C:\\Fresh Top\\Marlin' ]" \
        "staging stayed beside the folder, nothing is left, and the entry names the folder"
    run_unattended "\"$setup\" /S /D=\\\\?\\C:\\Dots. \\Marlin.."
    check "[ $rc -eq 0 ] && all_listed_in '$drive_c/Dots/Marlin' '$drive_c/Dots/Marlin/uninstall.lst' && [ \"\$(reg_value InstallLocation)\" = 'C:\\Dots\\Marlin' ]" \
        "\\\\?\\ and the dots and spaces that end a level: the folder Windows names (exit $rc)"
    check "[ -z \"\$(find '$drive_c' -maxdepth 1 -name 'Dots?*')\" ]" "no folder keeps the dots or the space"
    run_unattended "\"C:\\Dots\\Marlin\\uninstall.exe\" /S" uninstall.exe
    check "[ $rc -eq 0 ] && wait_gone_dir '$drive_c/Dots/Marlin' 20" "its uninstaller removes it (exit $rc)"
}

# A folder so deep that a staged path would be longer than Windows programs open is refused before
# the first write, and the log says how long and what the limit is; one character less installs,
# updates and uninstalls with staged paths near 260 characters.
scenario_long_paths() {
    open_sandbox en 96
    local setup v2 deep=$(printf 'x%.0s' {1..236}) log="$drive_c/long.log" needed limit
    setup=$(windows_path "$SETUP") v2=$(windows_path "$SETUP_V2")
    run_unattended "\"$v2\" /S /LOG=C:\\long.log /D=C:\\$deep"
    check "[ $rc -eq 2 ] && [ ! -e '$drive_c/$deep' ] && ! has_uninstall_key" \
        "a folder of $((${#deep} + 3)) characters is refused with nothing written (exit $rc)"
    read -r needed limit < <(log_texts "$log" | sed -n 's/^failed: .*too long a path to install into: staging needs a [a-z]* of \([0-9]*\) characters (.*), and Windows programs reach \([0-9]*\) at most$/\1 \2/p')
    check "[ -n '$needed' ] && [ '$needed' -gt '$limit' ] && ! log_has '$log' 'space check.*'" \
        "the log says so before the space check ($needed characters needed, $limit allowed)"
    local fits=${deep:0:$((236 - needed + limit))}
    run_unattended "\"$v2\" /S /D=C:\\${fits}y"
    check "[ $rc -eq 2 ] && [ ! -e '$drive_c/${fits}y' ]" "one character more than fits is refused (exit $rc)"
    run_unattended "\"$setup\" /S /D=C:\\$fits"
    check "[ $rc -eq 0 ] && all_listed_in '$drive_c/$fits' '$drive_c/$fits/uninstall.lst'" \
        "a folder of $((${#fits} + 3)) characters installs (exit $rc)"
    run_unattended "\"$v2\" /S"
    check "[ $rc -eq 0 ] && all_listed_in '$drive_c/$fits' '$drive_c/$fits/uninstall.lst' && grep -q '^v2 1.1' '$drive_c/$fits/data/d1/f1.txt'" \
        "and its update stages and moves every file (exit $rc)"
    check_no_leftovers
    run_unattended "\"C:\\$fits\\uninstall.exe\" /S" uninstall.exe
    check "[ $rc -eq 0 ] && wait_gone_dir '$drive_c/$fits' 20" "its uninstaller removes it (exit $rc)"
}

# A sub-folder that is a link to another volume (here a Unix link to a RAM-backed folder, which
# Wine shows as a reparse point on another volume): the final step's moves cannot cross volumes,
# so the update fails before its first write, with the link named in the log.
scenario_update_across_volumes() {
    open_sandbox en 96
    local setup v2 dir="$drive_c/Linked" log="$drive_c/link.log" other
    setup=$(windows_path "$SETUP") v2=$(windows_path "$SETUP_V2")
    run_unattended "\"$setup\" /S /D=C:\\Linked"
    other=$(mktemp -d /dev/shm/wine-volume-XXXXXX)
    mv "$dir/data/d1" "$other/" && ln -s "$other/d1" "$dir/data/d1"
    local before
    before=$(tree_state "$dir")
    run_unattended "\"$v2\" /S /LOG=C:\\link.log /D=C:\\Linked"
    check "[ $rc -eq 2 ]" "the update fails (exit $rc)"
    check "log_has '$log' 'failed: C:.Linked.data.d1 is a link to another volume than C:.Linked.s; the installation.s final moves cannot cross volumes'" \
        "the log names the link and why"
    check "! log_has '$log' 'entry .*' && [ \"\$(tree_state '$dir')\" = \"\$before\" ] && grep -q '^1.1\$' '$other/d1/f1.txt'" \
        "before its first write: nothing changed"
    check_no_leftovers
    rm -rf "$other"
}

# A sub-folder that is a link to another folder of the same drive (a Unix link, which Wine shows
# as a reparse point): the update would write there and delete what it set aside, outside the
# install folder, so it is refused before its first write, the link named in the log.
scenario_update_link_same_volume() {
    open_sandbox en 96
    local setup v2 dir="$drive_c/Linked" log="$drive_c/link.log" other="$drive_c/Elsewhere"
    setup=$(windows_path "$SETUP") v2=$(windows_path "$SETUP_V2")
    run_unattended "\"$setup\" /S /D=C:\\Linked"
    mkdir -p "$other"
    mv "$dir/data/d1" "$other/" && ln -s "$other/d1" "$dir/data/d1"
    local before others
    before=$(tree_state "$dir") others=$(tree_state "$other")
    run_unattended "\"$v2\" /S /LOG=C:\\link.log /D=C:\\Linked"
    check "[ $rc -eq 2 ]" "the update fails (exit $rc)"
    check "log_has '$log' 'failed: C:.Linked.data.d1 is a link inside C:.Linked; an update never follows one, wherever it leads'" \
        "the log names the link and why"
    check "! log_has '$log' 'entry .*' && ! log_has '$log' 'end processes.*' && [ \"\$(tree_state '$dir')\" = \"\$before\" ]" \
        "before its first write, and before ending the product: nothing changed"
    check "[ \"\$(tree_state '$other')\" = \"\$others\" ] && grep -q '^1.1\$' '$other/d1/f1.txt'" \
        "the folder the link leads to is unchanged"
    check_no_leftovers
}

# A folder that every user may change (under Wine a world-writable one) above the install folder:
# an elevated run could be steered through it, so an installation there is refused before its
# first write, a product there is not moved away from by path, and its uninstaller says what it
# acts through.
scenario_changeable_parent() {
    open_sandbox en 96
    local setup v2 log="$drive_c/trust.log"
    setup=$(windows_path "$SETUP") v2=$(windows_path "$SETUP_V2")
    mkdir -p "$drive_c/Shared"
    chmod 777 "$drive_c/Shared"
    run_unattended "\"$setup\" /S /LOG=C:\\trust.log /D=C:\\Shared\\App"
    check "[ $rc -eq 2 ] && [ ! -e '$drive_c/Shared/App' ] && ! has_uninstall_key && [ -z \"\$(journal_phase)\" ]" \
        "an installation below it is refused with nothing written (exit $rc)"
    check "log_has '$log' 'failed: C:.Shared.App: an elevated installation does not act through C:.Shared may be changed by a standard user: S-1-1-0 may delete.* it'" \
        "the log names the folder and why"
    check "! log_has '$log' 'end processes.*'" "before anything is ended"

    chmod 755 "$drive_c/Shared"
    run_unattended "\"$setup\" /S /D=C:\\Shared\\App"
    check "[ $rc -eq 0 ]" "once only administrators may change it, it installs (exit $rc)"
    cp "$drive_c/Shared/App/uninstall.lst" "$WINE_SANDBOX/v1.lst"
    chmod 777 "$drive_c/Shared"
    : >"$log"
    run_unattended "\"$v2\" /S /LOG=C:\\trust.log /D=C:\\Moved"
    check "[ $rc -eq 0 ] && all_listed_in '$drive_c/Moved' '$drive_c/Moved/uninstall.lst'" \
        "the product moves to another folder (exit $rc)"
    check "all_listed_in '$drive_c/Shared/App' '$WINE_SANDBOX/v1.lst'" \
        "the old folder below the changeable one is left whole"
    check "log_has '$log' 'previous folder C:.Shared.App: nothing removed, an elevated run does not act through C:.Shared may be changed by a standard user: .*'" \
        "the log says why"
    run_unattended "\"C:\\Shared\\App\\uninstall.exe\" /S /LOG=C:\\left.log" uninstall.exe
    check "[ $rc -eq 0 ] && log_has '$drive_c/left.log' 'removed only through handles checked to lie in the folder: C:.Shared may be changed by a standard user: .*'" \
        "the old folder's uninstaller removes its own files through checked handles and says so (exit $rc)"
    check "all_listed_in '$drive_c/Moved' '$drive_c/Moved/uninstall.lst'" "the moved product stays"
    chmod 755 "$drive_c/Shared"
}

# A share that cannot be reached (Wine answers as for a missing path): nothing is journaled and
# nothing made, and a folder of the current drive named like the share's is never taken for it.
scenario_unreachable_share() {
    open_sandbox en 96
    local setup log="$drive_c/share.log"
    setup=$(windows_path "$SETUP")
    mkdir -p "$drive_c/nosuchserver/share"
    run_unattended "\"$setup\" /S /LOG=C:\\share.log /D=\\\\nosuchserver\\share\\App"
    check "[ $rc -eq 2 ] && [ -z \"\$(journal_phase)\" ] && ! has_uninstall_key" \
        "exit 2 (got $rc), no journal, nothing registered"
    check "[ -d '$drive_c/nosuchserver/share' ] && [ ! -e '$drive_c/nosuchserver/share/App' ]" \
        "C:\\nosuchserver\\share survives, with nothing in it"
    check "log_has '$log' 'failed: .*nosuchserver.share.*' && ! log_has '$log' 'end processes.*'" \
        "the log says why, before anything is ended"
    run_unattended "\"$setup\" /S"
    check "[ $rc -eq 0 ] && has_uninstall_key" "then setup.exe /S installs (exit $rc)"
}

# A /D= refused for nesting or depth while the product runs: the product is never ended for a run
# that would not go ahead; an update that does go ahead still ends it.
scenario_refusal_keeps_product() {
    open_sandbox en 96
    local setup dir="$drive_c/Running" deep
    setup=$(windows_path "$SETUP")
    run_unattended "\"$setup\" /S /D=C:\\Running"
    cp "$SLEEPER" "$dir/vivevadiz.exe"
    wine 'C:\Running\vivevadiz.exe' 'C:\Running\uninstall.lst' >"$WINE_SANDBOX/product.txt" 2>/dev/null &
    local product=$!
    wait_for_line holding "$WINE_SANDBOX/product.txt" 30 || fail "the product runs"
    run_unattended "\"$setup\" /S /D=C:\\Running\\Inner"
    check "[ $rc -eq 2 ] && [ \"\$(drive count-processes vivevadiz.exe)\" = 1 ]" \
        "a folder inside the installed one is refused (exit $rc), the product still runs"
    deep=$(printf 'd%.0s' {1..240})
    run_unattended "\"$setup\" /S /D=C:\\$deep"
    check "[ $rc -eq 2 ] && [ \"\$(drive count-processes vivevadiz.exe)\" = 1 ]" \
        "a folder too deep is refused (exit $rc), the product still runs"
    run_unattended "\"$setup\" /S /D=C:\\Running"
    check "[ $rc -eq 0 ] && [ \"\$(drive count-processes vivevadiz.exe)\" = 0 ]" \
        "the update in place still ends it (exit $rc)"
    end_within "$product" 30 "the product"
}

# Elevated writes land where they were meant. /LOG= below a folder that is a link (a Unix link,
# which Wine opens through, its final path the target's), at a link, at a file with a second name
# or at a folder is a usage error with nothing written through it, for setup.exe (5) and the
# uninstaller (64). A Start-menu folder and a desktop that are links get no shortcut, with a log
# line saying why. A move and an uninstall remove the shortcuts the entry records, in another
# account's folders, and nothing a recorded path names that is not the product's shortcut.
scenario_elevated_writes() {
    open_sandbox en 96
    local setup v2 elsewhere="$drive_c/elsewhere" victim="$drive_c/victim.txt" log="$drive_c/writes.log"
    setup=$(windows_path "$SETUP") v2=$(windows_path "$SETUP_V2")
    mkdir -p "$elsewhere" "$drive_c/reallogs"
    echo "an administrator's file" >"$victim"
    ln -s "$elsewhere" "$drive_c/linkedlogs"
    ln -s "$victim" "$drive_c/reallogs/link.log"
    ln "$victim" "$drive_c/reallogs/second.log"
    local line
    while IFS= read -r line; do
        run_unattended "\"$setup\" /S /LOG=$line /D=C:\\Writes"
        check "[ $rc -eq 5 ] && no_window_seen" "/LOG=$line: exit 5 (got $rc), no window"
    done <<'LINES'
C:\linkedlogs\run.log
C:\linkedlogs\..\linkedlogs\run.log
C:\reallogs\link.log
C:\reallogs\second.log
C:\reallogs
LINES
    check "[ -z \"\$(ls -A '$elsewhere')\" ] && [ \"\$(cat '$victim')\" = \"an administrator's file\" ]" \
        "nothing is written through the link, at the link's target or through the second name"
    check "[ ! -e '$drive_c/Writes' ] && ! has_uninstall_key" "nothing was installed"

    # The current user's Start-menu folder and desktop made links to elsewhere.
    local programs="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
    mkdir -p "$programs" "$elsewhere/menu" "$elsewhere/desktop"
    rm -rf "$(start_menu_folder)" "$user_dir/Desktop"
    ln -s "$elsewhere/menu" "$(start_menu_folder)"
    ln -s "$elsewhere/desktop" "$user_dir/Desktop"
    run_unattended "\"$setup\" /S /LOG=C:\\writes.log /D=C:\\Writes"
    check "[ $rc -eq 0 ] && [ -f '$drive_c/Writes/vivevadiz.exe' ]" "a Start menu and desktop that are links do not fail the installation (exit $rc)"
    check "[ -z \"\$(ls -A '$elsewhere/menu')\" ] && [ -z \"\$(ls -A '$elsewhere/desktop')\" ]" \
        "no shortcut is written where the links lead"
    check "log_has '$log' 'Start-menu shortcut: skipped (C:.users.*.Marlin Data Recovery is reached through a link (it leads to C:.elsewhere.menu))'" \
        "the log says why there is no Start-menu shortcut"
    check "log_has '$log' 'desktop shortcut: skipped (C:.users.*.Desktop is reached through a link (it leads to C:.elsewhere.desktop))'" \
        "the log says why there is no desktop shortcut"
    check "[ -z \"\$(reg_value StartMenuShortcut)\" ] && [ -z \"\$(reg_value DesktopShortcut)\" ]" \
        "the entry records no shortcut"
    rm -f "$(start_menu_folder)" "$user_dir/Desktop"
    mkdir -p "$user_dir/Desktop"

    # The uninstaller's /LOG= below the link.
    run_unattended "\"C:\\Writes\\uninstall.exe\" /S /LOG=C:\\linkedlogs\\u.log" uninstall.exe
    check "[ $rc -eq 64 ] && [ -z \"\$(ls -A '$elsewhere/menu')\" ] && [ ! -e '$elsewhere/u.log' ] && [ -f '$drive_c/Writes/vivevadiz.exe' ]" \
        "uninstall.exe /LOG= below a link: refused with 64, nothing written or removed (got $rc)"

    # Another account's shortcuts, as the entry records them: a move removes those and records
    # this run's own; a recorded path that is not the product's shortcut is left alone.
    run_unattended "\"$setup\" /S /D=C:\\Writes"
    local own_menu="$(start_menu_folder)/Marlin Data Recovery (iOS).lnk" own_desktop
    own_desktop=$(desktop_link en)
    check "[ $rc -eq 0 ] && [ -f \"$own_menu\" ] && [ -f \"$own_desktop\" ]" "an installation makes both shortcuts (exit $rc)"
    check "[ \"\$(reg_value StartMenuShortcut)\" = 'C:\\users\\$(basename "$user_dir")\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Marlin Data Recovery\\Marlin Data Recovery (iOS).lnk' ] && [ \"\$(reg_value DesktopShortcut)\" = 'C:\\users\\$(basename "$user_dir")\\Desktop\\Marlin Data Recovery (iOS).lnk' ]" \
        "the entry records where they were made"
    local other="$drive_c/users/other" other_win='C:\users\other'
    local other_menu="$other/Start Menu/Programs/Marlin Data Recovery"
    plant_other_shortcuts() {
        mkdir -p "$other_menu" "$other/Desktop"
        cp "$own_menu" "$other_menu/"
        cp "$own_menu" "$other/Desktop/"
        echo mine >"$other/Desktop/Mine.lnk"
    }
    record_other_shortcuts() {  # desktop value
        wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VivevaDiz' /v StartMenuShortcut /d "$other_win\\Start Menu\\Programs\\Marlin Data Recovery\\Marlin Data Recovery (iOS).lnk" /f >/dev/null 2>&1
        wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VivevaDiz' /v DesktopShortcut /d "$1" /f >/dev/null 2>&1
    }
    # An update in place from this account (after one from another) makes its own and removes
    # the other account's.
    plant_other_shortcuts
    record_other_shortcuts "$other_win\\Desktop\\Marlin Data Recovery (iOS).lnk"
    run_unattended "\"$setup\" /S /D=C:\\Writes"
    check "[ $rc -eq 0 ] && [ ! -e \"$other_menu\" ] && [ ! -e \"$other/Desktop/Marlin Data Recovery (iOS).lnk\" ] && [ -f \"$other/Desktop/Mine.lnk\" ] && [ -f \"$own_menu\" ] && [ -f \"$own_desktop\" ]" \
        "an update in place removes the shortcuts recorded in another account's folders and makes its own (exit $rc)"
    check "[ \"\$(reg_value DesktopShortcut)\" = 'C:\\users\\$(basename "$user_dir")\\Desktop\\Marlin Data Recovery (iOS).lnk' ]" \
        "and records its own"
    plant_other_shortcuts
    record_other_shortcuts 'C:\victim.txt'
    run_unattended "\"$v2\" /S /NODESKTOP /LOG=C:\\writes.log /D=C:\\Writes Two"
    check "[ $rc -eq 0 ] && [ ! -e \"$other_menu\" ] && [ -f \"$own_menu\" ]" \
        "a move removes the other account's recorded Start-menu shortcut and its folder, and makes this one's (exit $rc)"
    check "[ \"\$(cat '$victim')\" = \"an administrator's file\" ] && [ -f \"$other/Desktop/Marlin Data Recovery (iOS).lnk\" ] && [ -f \"$own_desktop\" ]" \
        "a recorded path that is not the product's shortcut is left, and no shortcut it does not record is removed"
    check "log_has '$log' 'a shortcut of the installation in C:.Writes could not be removed'" "the log says a shortcut was left"
    check "[ \"\$(reg_value StartMenuShortcut)\" = 'C:\\users\\$(basename "$user_dir")\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Marlin Data Recovery\\Marlin Data Recovery (iOS).lnk' ] && [ -z \"\$(reg_value DesktopShortcut)\" ]" \
        "the entry records this run's Start-menu shortcut, and no desktop one"

    # The uninstaller, from this account, removes the other account's recorded shortcuts only.
    plant_other_shortcuts
    record_other_shortcuts "$other_win\\Desktop\\Marlin Data Recovery (iOS).lnk"
    run_unattended "\"C:\\Writes Two\\uninstall.exe\" /S" uninstall.exe
    check "[ $rc -eq 0 ] && [ ! -e \"$other_menu\" ] && [ ! -e \"$other/Desktop/Marlin Data Recovery (iOS).lnk\" ] && [ -f \"$other/Desktop/Mine.lnk\" ]" \
        "the uninstaller removes the shortcuts recorded in another account's folders, and nothing else there (exit $rc)"
    check "[ -f \"$own_menu\" ] && ! has_uninstall_key" "a shortcut the entry does not record stays; the entry is gone"
}
