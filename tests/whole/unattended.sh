# Shared by the whole-program tests of unattended runs: a deployment tool's exact command line, a
# probe that watches the programs it starts for windows the whole time, and the run's log.
# Source it after defining check and fail; it uses DRIVER and WINE_SANDBOX.

# The Windows form of a path of this machine, as Wine reaches it.
windows_path() { echo "Z:${1//\//\\}"; }

# Runs the Windows command line $1 exactly as written, as a deployment tool does, while a probe
# watches every process named $2 (setup.exe unless given) started from then on for top-level
# windows, until they have all ended. Sets rc (the exit code) and probe (what the probe saw).
run_unattended() {  # command-line [exe]
    start_probe "${2:-setup.exe}"
    wine "$DRIVER" run "$1" >/dev/null 2>&1
    rc=$?
    end_probe
}

start_probe() {  # exe
    local i
    : >"$WINE_SANDBOX/probe.txt"
    wine "$DRIVER" watch-windows "$1" 180000 >"$WINE_SANDBOX/probe.txt" 2>/dev/null &
    probe_pid=$!
    for ((i = 0; i < 300; i++)); do grep -q watching "$WINE_SANDBOX/probe.txt" && break; sleep 0.1; done
}

end_probe() {
    wait "$probe_pid"
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
