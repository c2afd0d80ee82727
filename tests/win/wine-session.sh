#!/usr/bin/env bash
# A throwaway Windows session for running the project's Windows programs
# under wine64: a display (Xvfb when there is none), a fresh WINEPREFIX copied
# from a cached template, an optional local vantlo-provider, a screenshot
# watcher, and a clean-up of all of it when the calling shell exits.
#
# Source it, then call the functions:
#
#   . tests/win/wine-session.sh
#   ws_begin                                   # temp dir + clean-up on exit
#   ws_start_display                           # Xvfb on a free display if DISPLAY is unset
#   ws_make_prefix TEMPLATE_DIR                # fresh WINEPREFIX from a cached template
#   ws_start_provider EXE [ADDRESS:PASSWORD]...  # exports VANTLO_PROVIDER=127.0.0.1:PORT
#                                              # (data in WS_PROVIDER_DATA, else a temp dir)
#   ws_user_registry_text KEY NAME TEXT        # a text value under HKCU in the new prefix
#   ws_watch_screenshots DIR                   # serves screenshot requests of a test program
#   ws_run PROGRAM.exe [ARGS...]               # wine64 with WINEDEBUG=-all; returns its code
#   ws_screenshot FILE.png                     # the whole screen, now
#
# Run directly, `wine-session.sh template DIR` only builds (or checks) the
# template prefix.
#
# The Windows programs run with the Chinese (GBK, code page 936) locale the
# program is made for, and the prefix maps the dialog fonts to an installed
# CJK font, so Chinese window texts render.
#
# Only what this file starts is ever stopped: the Xvfb, provider and watcher
# by their process ids, and the Wine processes through the prefix's own
# wineserver.

WS_VERSION=1                      # bump when the template's contents change
WS_LOCALE=${WS_LOCALE:-zh_CN.UTF-8}
WS_SCREEN=${WS_SCREEN:-1024x768x24}
WS_RUN_TIMEOUT=${WS_RUN_TIMEOUT:-600}
WS_CJK_FONT=${WS_CJK_FONT:-WenQuanYi Micro Hei}

WS_TMP=""
WS_XVFB_PID=""
WS_PROVIDER_PID=""
WS_WATCHER_PID=""
WS_PREFIX=""

ws_log() { echo "wine-session: $*" >&2; }

ws_find_wine() {
    if [ -n "${WINE:-}" ]; then
        WS_WINE=$WINE
    elif [ -x /usr/lib/wine/wine64 ]; then
        WS_WINE=/usr/lib/wine/wine64
    elif command -v wine64 >/dev/null 2>&1; then
        WS_WINE=$(command -v wine64)
    else
        WS_WINE=$(command -v wine) || { ws_log "no wine64 found"; return 1; }
    fi
    if [ -n "${WINESERVER:-}" ]; then
        WS_WINESERVER=$WINESERVER
    elif [ -x "$(dirname "$WS_WINE")/wineserver" ]; then
        WS_WINESERVER=$(dirname "$WS_WINE")/wineserver
    else
        WS_WINESERVER=$(command -v wineserver) || { ws_log "no wineserver found"; return 1; }
    fi
}

# Environment for every Wine process: quiet, no Mono/Gecko installers, no
# desktop menu entries written into the user's home.
ws_wine_env() {
    env WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
        LANG="$WS_LOCALE" LC_ALL="$WS_LOCALE" "$@"
}

ws_begin() {
    ws_find_wine || return 1
    WS_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vantlo-wine.XXXXXX") || return 1
    trap ws_end EXIT
    trap 'exit 130' INT TERM
}

ws_stop_pid() {  # pid: TERM, then KILL after a bound
    local pid=$1 i
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    for i in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

ws_end() {
    ws_stop_pid "$WS_WATCHER_PID"
    if [ -n "$WS_PREFIX" ] && [ -d "$WS_PREFIX" ]; then
        WINEPREFIX=$WS_PREFIX "$WS_WINESERVER" -k >/dev/null 2>&1
        WINEPREFIX=$WS_PREFIX timeout 20 "$WS_WINESERVER" -w >/dev/null 2>&1
    fi
    ws_stop_pid "$WS_PROVIDER_PID"
    ws_stop_pid "$WS_XVFB_PID"
    [ -n "$WS_TMP" ] && rm -rf "$WS_TMP"
    WS_WATCHER_PID="" WS_PROVIDER_PID="" WS_XVFB_PID="" WS_TMP=""
}

ws_start_display() {
    if [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    local displayFile=$WS_TMP/xvfb.display i
    # -displayfd: Xvfb picks a free display and writes its number when ready.
    Xvfb -displayfd 5 -screen 0 "$WS_SCREEN" -wr -nolisten tcp 5>"$displayFile" >"$WS_TMP/xvfb.log" 2>&1 &
    WS_XVFB_PID=$!
    for i in $(seq 100); do
        if grep -q '^[0-9][0-9]*$' "$displayFile" 2>/dev/null; then
            export DISPLAY=":$(head -n1 "$displayFile")"
            return 0
        fi
        kill -0 "$WS_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    ws_log "Xvfb did not start: $(cat "$WS_TMP/xvfb.log" 2>/dev/null)"
    return 1
}

# The registry changes every prefix gets: the dialog fonts mapped to a CJK
# font, so the default GUI font can show Chinese texts in any locale.
ws_template_registry() {
    cat <<EOF
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]
"MS Shell Dlg"="$WS_CJK_FONT"
"MS Shell Dlg 2"="$WS_CJK_FONT"
EOF
}

ws_template_stamp() {
    echo "harness $WS_VERSION; $("$WS_WINE" --version 2>/dev/null); locale $WS_LOCALE; font $WS_CJK_FONT"
}

# Builds the template prefix once (wineboot takes a while); later calls find
# it ready. Safe to call from several test runs at once.
ws_ensure_template() {
    local root=$1 template=$1/wine-template stamp
    stamp=$(ws_template_stamp)
    mkdir -p "$root" || return 1
    (
        flock -w 600 9 || { ws_log "template lock timed out"; exit 1; }
        if [ -f "$template/.vantlo-template" ] && [ "$(cat "$template/.vantlo-template")" = "$stamp" ]; then
            exit 0
        fi
        local building=$root/wine-template.building.$$
        rm -rf "$template" "$building"
        ws_log "building the Wine template prefix (once)"
        WINEPREFIX=$building ws_wine_env timeout 300 "$WS_WINE" wineboot -i >"$root/wine-template.log" 2>&1
        ws_template_registry >"$root/wine-template.reg"
        WINEPREFIX=$building ws_wine_env timeout 120 "$WS_WINE" regedit /S "$root/wine-template.reg" \
            >>"$root/wine-template.log" 2>&1
        WINEPREFIX=$building timeout 120 "$WS_WINESERVER" -w
        if [ ! -f "$building/system.reg" ]; then
            ws_log "wineboot failed; see $root/wine-template.log"
            rm -rf "$building"
            exit 1
        fi
        echo "$stamp" >"$building/.vantlo-template"
        mv "$building" "$template"
    ) 9>"$root/wine-template.lock"
}

# Call after ws_start_display. On our own Xvfb no window manager runs, and
# Wine would wait two seconds for one each time a window goes away: there,
# Wine's windows are left unmanaged.
ws_make_prefix() {
    local root=$1
    ws_ensure_template "$root" || return 1
    WS_PREFIX=$WS_TMP/prefix
    cp -a "$root/wine-template" "$WS_PREFIX" || return 1
    if [ -n "$WS_XVFB_PID" ]; then
        ws_user_registry_text 'Software\Wine\X11 Driver' Managed N
    fi
    export WINEPREFIX=$WS_PREFIX
}

# Writes a text value under HKEY_CURRENT_USER into the prefix made by
# ws_make_prefix, before any Wine process runs in it. KEY is like
# 'Software\Vantlo'; NAME '@' is the unnamed value. Plain texts only (no
# quotes or backslashes in NAME and TEXT).
ws_user_registry_text() {
    local key=${1//\\/\\\\} name=$2 text=$3
    [ "$name" = "@" ] || name="\"$name\""
    printf '\n[%s] %s\n%s="%s"\n' "$key" "$(date +%s)" "$name" "$text" >>"$WS_PREFIX/user.reg"
}

# Starts vantlo-provider on an ephemeral loopback port with its own data
# directory; accounts are ADDRESS:PASSWORD (none: its demo account).
ws_start_provider() {
    local exe=$1 i line port data=${WS_PROVIDER_DATA:-$WS_TMP/provider-data}
    shift
    local args=(--listen 127.0.0.1:0 --data "$data")
    for account in "$@"; do args+=(--account "$account"); done
    mkdir -p "$data"
    "$exe" "${args[@]}" >"$WS_TMP/provider.log" 2>&1 &
    WS_PROVIDER_PID=$!
    for i in $(seq 100); do
        line=$(head -n1 "$WS_TMP/provider.log" 2>/dev/null)
        if [[ $line =~ ^listening\ on\ 127\.0\.0\.1:([0-9]+)$ ]]; then
            port=${BASH_REMATCH[1]}
            export VANTLO_PROVIDER=127.0.0.1:$port
            return 0
        fi
        kill -0 "$WS_PROVIDER_PID" 2>/dev/null || break
        sleep 0.1
    done
    ws_log "vantlo-provider did not start: $(cat "$WS_TMP/provider.log" 2>/dev/null)"
    return 1
}

ws_screenshot() {
    import -window root "$1"
}

# A test program asks for a screenshot by creating NAME.request in DIR; the
# watcher saves the screen as NAME.png and answers with NAME.done. The
# program finds DIR in VANTLO_SCREENSHOT_DIR.
ws_watch_screenshots() {
    local dir=$1
    mkdir -p "$dir" || return 1
    rm -f "$dir"/*.request "$dir"/*.done
    export VANTLO_SCREENSHOT_DIR=$dir
    (
        while :; do
            for request in "$dir"/*.request; do
                [ -e "$request" ] || continue
                name=$(basename "$request" .request)
                ws_screenshot "$dir/$name.png" 2>>"$dir/screenshots.log"
                rm -f "$request"
                : >"$dir/$name.done"
            done
            sleep 0.1
        done
    ) &
    WS_WATCHER_PID=$!
}

ws_run() {
    ws_wine_env timeout --kill-after=10 "$WS_RUN_TIMEOUT" "$WS_WINE" "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    case "${1:-}" in
    template)
        [ -n "${2:-}" ] || { echo "usage: $0 template DIR" >&2; exit 2; }
        ws_find_wine && ws_ensure_template "$2"
        ;;
    *)
        echo "usage: . $0 (then call the ws_* functions), or: $0 template DIR" >&2
        exit 2
        ;;
    esac
fi
