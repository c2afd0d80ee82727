#!/usr/bin/env bash
# Opens the desktop program, Vantlo.exe, under wine64 against a local
# vantlo-provider with the demo account (demo@163.example, vantlo-demo).
# Builds nothing: build/native (the provider) and build/win64 (Vantlo.exe)
# must exist; the demo command builds them first.
#
# With a display (DISPLAY set) the sign-in window opens there for you to use;
# the script ends when the program does. Without one, it runs under Xvfb,
# signs in by itself with xdotool and saves two screenshots (the sign-in
# window, then the window after the sign-in), and ends. The provider speaks
# TLS; the program trusts only the test CA it makes (wine-session.sh).
#
# The account box offers the demo account: the fresh Wine prefix gets it as
# the last account of the saved-accounts store (HKEY_CURRENT_USER
# \Software\Vantlo\UserList, unnamed value) with "记住密码" checked. Its
# password is not stored: passwords are only ever stored protected by the
# program itself, so you type it once (it is remembered from then on for
# this run's prefix).
#
# Environment: VANTLO_NATIVE_BUILD, VANTLO_WIN64_BUILD (build directories),
# VANTLO_DEMO_DATA (provider data, kept between runs; default build/demo-data),
# VANTLO_DEMO_SHOTS (where screenshots go; default build/win64/demo).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=${VANTLO_NATIVE_BUILD:-$root/build/native}
win64=${VANTLO_WIN64_BUILD:-$root/build/win64}
provider=$native/provider/vantlo-provider
program=$win64/desktop/Vantlo.exe
shots=${VANTLO_DEMO_SHOTS:-$win64/demo}
export WS_PROVIDER_DATA=${VANTLO_DEMO_DATA:-$root/build/demo-data}
account=demo@163.example
password=vantlo-demo

for needed in "$provider" "$program"; do
    [ -e "$needed" ] || { echo "demo-desktop: $needed is missing (build native and win64 first)" >&2; exit 2; }
done

. "$root/scripts/wine-session.sh"
headless=0
[ -n "${DISPLAY:-}" ] || headless=1

ws_begin || exit 1
ws_start_display || exit 1
ws_make_prefix "$win64/wine" || exit 1
ws_user_registry_text 'Software\Vantlo\UserList' @ "$account"
ws_user_registry_text 'Software\Vantlo' bStorePwd 1
ws_start_provider "$provider" || exit 1
echo "demo-desktop: vantlo-provider at $VANTLO_PROVIDER (data in $WS_PROVIDER_DATA)"
echo "demo-desktop: account $account, password $password"

if [ $headless -eq 0 ]; then
    WS_RUN_TIMEOUT=0 ws_run "$program"
    exit $?
fi

# No display: sign in by ourselves on the Xvfb and keep what it looked like.
mkdir -p "$shots"
ws_run "$program" &
wine_pid=$!

# The visible window of the given title and size (other than `except`),
# once it is shown.
wait_for_window() {  # name, pattern of "WIDTHxHEIGHT", except
    local i id
    for i in $(seq 200); do
        for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
            [ "$id" != "${3:-}" ] || continue
            if xdotool getwindowgeometry "$id" 2>/dev/null | grep -q "Geometry: $2"; then
                echo "$id"
                return 0
            fi
        done
        kill -0 "$wine_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

signin=$(wait_for_window Vantlo '340x105') || { echo "demo-desktop: the sign-in window did not open" >&2; exit 1; }
sleep 1
ws_screenshot "$shots/demo-signin.png"
echo "demo-desktop: screenshot of the sign-in window: $shots/demo-signin.png"

# Click into the password box (50 + 7, 40 + 25 in the window: group box
# origin plus the box's place), type the password, press Enter.
eval "$(xdotool getwindowgeometry --shell "$signin")"
xdotool mousemove $((X + 7 + 50 + 20)) $((Y + 25 + 40 + 10)) click 1
sleep 0.5
xdotool type --delay 30 "$password"
xdotool key Return

if wait_for_window Vantlo '[0-9]*x[0-9]*' "$signin" >/dev/null; then
    sleep 1
    ws_screenshot "$shots/demo-signed-in.png"
    echo "demo-desktop: signed in; screenshot: $shots/demo-signed-in.png"
    status=0
else
    ws_screenshot "$shots/demo-signed-in.png"
    echo "demo-desktop: the sign-in did not complete; see $shots/demo-signed-in.png" >&2
    status=1
fi
exit $status
