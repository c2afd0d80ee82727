#!/usr/bin/env bash
# A throwaway Windows session for running the project's Windows programs
# under wine64: a display (Xvfb when there is none), a fresh WINEPREFIX copied
# from a cached template, an optional local vantlo-provider, and a clean-up
# of all of it when the calling shell exits.
#
# Source it, then call the functions:
#
#   . scripts/wine-session.sh
#   ws_begin                                   # temp dir + clean-up on exit
#   ws_start_display                           # Xvfb on a free display if DISPLAY is unset
#   ws_make_prefix TEMPLATE_DIR                # fresh WINEPREFIX from a cached template
#   ws_start_provider EXE [ADDRESS:PASSWORD]...  # exports VANTLO_PROVIDER=https://127.0.0.1:PORT
#                                              # and VANTLO_CA_FILE (the provider's test CA as
#                                              # Wine names it); data in WS_PROVIDER_DATA, else
#                                              # a temp dir
#   ws_user_registry_text KEY NAME TEXT        # a text value under HKCU in the new prefix
#   ws_run PROGRAM.exe [ARGS...]               # wine64 with WINEDEBUG=-all; returns its code
#   ws_screenshot FILE.png                     # the whole screen, now
#
# The Windows programs run with the Chinese (GBK, code page 936) locale the
# program is made for, and the prefix maps the dialog fonts to an installed
# CJK font, so Chinese window texts render. Only what this file starts is
# ever stopped: the Xvfb and the provider by their process ids, the Wine
# processes through the prefix's own wineserver.

WS_VERSION=2                      # bump when the template's contents change
WS_LOCALE=zh_CN.UTF-8
WS_CJK_FONT="WenQuanYi Micro Hei"
WS_RUN_TIMEOUT=${WS_RUN_TIMEOUT:-600}
WS_TMP="" WS_XVFB_PID="" WS_PROVIDER_PID="" WS_PREFIX=""

ws_wine_env() {  # quiet, no Mono/Gecko installers, no desktop menu entries
    env WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
        LANG="$WS_LOCALE" LC_ALL="$WS_LOCALE" "$@"
}

ws_begin() {
    WS_WINE=/usr/lib/wine/wine64 WS_WINESERVER=/usr/lib/wine/wineserver
    [ -x "$WS_WINE" ] || WS_WINE=$(command -v wine64) WS_WINESERVER=$(command -v wineserver) || return 1
    WS_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vantlo-wine.XXXXXX") || return 1
    trap ws_end EXIT
    trap 'exit 130' INT TERM
}

ws_stop_pid() {  # pid: TERM, then KILL after five seconds
    [ -n "$1" ] && kill "$1" 2>/dev/null || return 0
    timeout 5 tail --pid="$1" -f /dev/null 2>/dev/null || kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 0
}

ws_end() {
    if [ -d "$WS_PREFIX" ]; then
        WINEPREFIX=$WS_PREFIX "$WS_WINESERVER" -k >/dev/null 2>&1
        WINEPREFIX=$WS_PREFIX timeout 20 "$WS_WINESERVER" -w >/dev/null 2>&1
    fi
    ws_stop_pid "$WS_PROVIDER_PID"
    ws_stop_pid "$WS_XVFB_PID"
    [ -n "$WS_TMP" ] && rm -rf "$WS_TMP"
    WS_PROVIDER_PID="" WS_XVFB_PID="" WS_TMP=""
}

ws_start_display() {
    [ -z "${DISPLAY:-}" ] || return 0
    local displayFile=$WS_TMP/xvfb.display i
    # -displayfd: Xvfb picks a free display and writes its number when ready.
    Xvfb -displayfd 5 -screen 0 1024x768x24 -wr -nolisten tcp 5>"$displayFile" >"$WS_TMP/xvfb.log" 2>&1 &
    WS_XVFB_PID=$!
    for i in $(seq 100); do
        grep -q '^[0-9][0-9]*$' "$displayFile" 2>/dev/null && export DISPLAY=":$(head -n1 "$displayFile")" && return 0
        kill -0 "$WS_XVFB_PID" 2>/dev/null && sleep 0.1 || break
    done
    echo >&2 "wine-session: Xvfb did not start: $(cat "$WS_TMP/xvfb.log" 2>/dev/null)"
    return 1
}

# Builds the template prefix once (wineboot takes a while); later calls find
# it ready. Safe to call from several test runs at once.
ws_ensure_template() {
    local root=$1 template=$1/wine-template stamp
    stamp="harness $WS_VERSION; $("$WS_WINE" --version 2>/dev/null); locale $WS_LOCALE; font $WS_CJK_FONT"
    mkdir -p "$root" || return 1
    (
        flock -w 600 9 || { echo >&2 "wine-session: template lock timed out"; exit 1; }
        [ "$(cat "$template/.vantlo-template" 2>/dev/null)" = "$stamp" ] && exit 0
        local building=$root/wine-template.building.$$
        rm -rf "$template" "$building"
        echo >&2 "wine-session: building the Wine template prefix (once)"
        WINEPREFIX=$building ws_wine_env timeout 300 "$WS_WINE" wineboot -i >"$root/wine-template.log" 2>&1
        # The dialog fonts mapped to a CJK font, so the default GUI font shows
        # Chinese texts in any locale.
        # A crash prints its backtrace and ends the program instead of
        # opening Wine's crash dialog, which nobody would ever close here.
        printf 'REGEDIT4\n\n[%s]\n"MS Shell Dlg"="%s"\n"MS Shell Dlg 2"="%s"\n\n[%s]\n"ShowCrashDialog"=dword:00000000\n' \
            'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
            "$WS_CJK_FONT" "$WS_CJK_FONT" 'HKEY_CURRENT_USER\Software\Wine\WineDbg' >"$root/wine-template.reg"
        WINEPREFIX=$building ws_wine_env timeout 120 "$WS_WINE" regedit /S "$root/wine-template.reg" \
            >>"$root/wine-template.log" 2>&1
        WINEPREFIX=$building timeout 120 "$WS_WINESERVER" -w
        [ -f "$building/system.reg" ] || { echo >&2 "wine-session: wineboot failed; see $root/wine-template.log"; rm -rf "$building"; exit 1; }
        echo "$stamp" >"$building/.vantlo-template"
        mv "$building" "$template"
    ) 9>"$root/wine-template.lock"
}

# Call after ws_start_display. On our own Xvfb no window manager runs, and
# Wine would wait two seconds for one each time a window goes away: there,
# Wine's windows are left unmanaged.
ws_make_prefix() {
    ws_ensure_template "$1" || return 1
    WS_PREFIX=$WS_TMP/prefix
    cp -a "$1/wine-template" "$WS_PREFIX" || return 1
    [ -z "$WS_XVFB_PID" ] || ws_user_registry_text 'Software\Wine\X11 Driver' Managed N
    export WINEPREFIX=$WS_PREFIX
}

# A text value under HKEY_CURRENT_USER of the prefix, written before any Wine
# process runs in it. KEY is like 'Software\Vantlo'; NAME '@' is the unnamed
# value. Plain texts only (no quotes or backslashes in NAME and TEXT).
ws_user_registry_text() {
    local key=${1//\\/\\\\} name=$2
    [ "$name" = "@" ] || name="\"$name\""
    printf '\n[%s] %s\n%s="%s"\n' "$key" "$(date +%s)" "$name" "$3" >>"$WS_PREFIX/user.reg"
}

# vantlo-provider on an ephemeral loopback port with its own data directory;
# accounts are ADDRESS:PASSWORD (none: its demo account), or --OPTION=VALUE
# for the provider itself. Over TLS: the provider makes its test CA in its
# data directory and names it on its second line; the Windows programs trust
# only that CA.
ws_start_provider() {
    local exe=$1 i port data=${WS_PROVIDER_DATA:-$WS_TMP/provider-data} args=(--listen 127.0.0.1:0 --tls) log
    shift
    # An argument "--option=VALUE" goes to the provider as it stands (split).
    for account in "$@"; do
        if [[ $account == --*=* ]]; then args+=("${account%%=*}" "${account#*=}"); else args+=(--account "$account"); fi
    done
    mkdir -p "$data"
    log=$WS_TMP/provider.log
    "$exe" "${args[@]}" --data "$data" >"$log" 2>&1 &
    WS_PROVIDER_PID=$!
    for i in $(seq 300); do
        if [[ $(head -n1 "$log" 2>/dev/null) =~ ^listening\ on\ (127\.0\.0\.1:[0-9]+)$ ]]; then
            port=${BASH_REMATCH[1]}
            if [[ $(sed -n 2p "$log" 2>/dev/null) =~ ^ca-file\ (/.+)$ ]]; then
                WS_CA_FILE=${BASH_REMATCH[1]}
                export VANTLO_PROVIDER=https://$port VANTLO_CA_FILE="Z:${WS_CA_FILE//\//\\}"
                return 0
            fi
        fi
        kill -0 "$WS_PROVIDER_PID" 2>/dev/null && sleep 0.1 || break
    done
    echo >&2 "wine-session: vantlo-provider did not start: $(cat "$log" 2>/dev/null)"
    return 1
}

ws_screenshot() { import -window root "$1"; }

ws_run() { ws_wine_env timeout --kill-after=10 "$WS_RUN_TIMEOUT" "$WS_WINE" "$@"; }
