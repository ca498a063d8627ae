# Shared by the scripts that run Windows programs: a private, quiet Wine setup.
# Source it; it defines functions and changes nothing until they are called.

export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Linux desktop entries, no Mono or Gecko download prompts.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# Wine derives a folder's access list from its Unix mode: under a umask that leaves folders
# world-writable, every folder would read as one that every user may change.
umask 022

# Re-runs the calling script on an X display of its own, so that no other test's windows, pointer
# or focus reach its windows. Call as: wine_own_display "$0" "$@". Returns when already on one.
wine_own_display() {
    [ -n "${WINE_OWN_DISPLAY:-}" ] && return 0
    export WINE_OWN_DISPLAY=1
    # Parallel runs start their search for a free display at different numbers.
    exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1920x1080x24" "$@"
}

# Makes the template prefix at $1 once: fonts mapped, user folders made real so nothing lands in $HOME.
wine_make_template() {
    local template=$1
    [ -f "$template/.ready" ] && return 0
    mkdir -p "$(dirname "$template")"
    (
        flock 9
        [ -f "$template/.ready" ] && exit 0
        rm -rf "$template"
        local home
        home=$(mktemp -d "${TMPDIR:-/tmp}/wine-home-XXXXXX")
        export HOME=$home WINEPREFIX=$template
        wineboot -i >/dev/null 2>&1
        wineserver -w
        # The two faces the installer asks for do not exist under Wine; map them to installed fonts.
        local fonts='HKCU\Software\Wine\Fonts\Replacements'
        wine reg add "$fonts" /v "Segoe UI" /d "DejaVu Sans" /f >/dev/null 2>&1
        wine reg add "$fonts" /v "Microsoft YaHei" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
        # Without a window manager Wine would still leave room for a frame it expects one to draw,
        # so windows would not sit where their rectangles say; let Wine place them itself.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
        wineserver -w
        local link
        for link in "$template"/drive_c/users/*/*; do
            if [ -L "$link" ]; then rm "$link" && mkdir -p "$link"; fi
        done
        rm -rf "$home"
        touch "$template/.ready"
    ) 9>"$template.lock"
}

# Copies the template into a fresh sandbox and exports WINEPREFIX and HOME for it; prints nothing.
# Sets WINE_SANDBOX to the sandbox folder.
wine_sandbox_open() {
    local template=$1
    wine_make_template "$template"
    WINE_SANDBOX=$(mktemp -d "${WINE_SANDBOX_ROOT:-${TMPDIR:-/tmp}}/wine-sandbox-XXXXXX")
    cp -a "$template" "$WINE_SANDBOX/prefix"
    mkdir -p "$WINE_SANDBOX/home"
    export WINEPREFIX=$WINE_SANDBOX/prefix HOME=$WINE_SANDBOX/home
}

# Stops this sandbox's own wineserver and removes the sandbox unless WINE_KEEP_SANDBOX is set.
wine_sandbox_close() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -z "${WINE_KEEP_SANDBOX:-}" ]; then
        rm -rf "$WINE_SANDBOX"
    else
        echo "sandbox kept: $WINE_SANDBOX" >&2
    fi
}
