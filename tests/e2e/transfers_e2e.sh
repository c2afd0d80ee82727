#!/usr/bin/env bash
# End to end: the desktop's transfers, Vantlo.exe under wine64 and Xvfb
# against a local vantlo-provider's demo account, driven with xdotool: an
# upload shows in the transfer list; the same name again asks, and
# "保留两者" stores "name (2).ext"; closing the window while a large upload
# runs asks first, and 是 ends the program.
# A screenshot is kept at every step.
#
#   transfers_e2e.sh VANTLO.EXE VANTLO-CLI.EXE VANTLO-PROVIDER TEMPLATE_DIR ARTIFACTS_DIR
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../win/wine-session.sh"

[ $# -eq 5 ] || { echo "usage: transfers_e2e.sh VANTLO CLI PROVIDER TEMPLATE_DIR ARTIFACTS_DIR" >&2; exit 2; }
vantlo=$1 cli=$2 provider=$3 template_dir=$4 artifacts=$5
account=demo@163.example password=vantlo-demo target=65550  # the demo's folder 工作文档
step=0

fail() { shot failed; echo "transfers_e2e: FAILED: $*" >&2; exit 1; }
shot() { step=$((step + 1)); ws_screenshot "$(printf '%s/%02d-%s.png' "$artifacts" "$step" "$1")"; }
# The first visible window of exactly that title (and size pattern, when given).
find_window() {
    local id
    for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] || continue
        [ -z "${2:-}" ] || xdotool getwindowgeometry "$id" 2>/dev/null | grep -q "Geometry: $2\$" || continue
        echo "$id"
        return 0
    done
    return 1
}
wait_until() { local i; for i in $(seq "${tries:-200}"); do "$@" && return 0; sleep 0.1; done; return 1; }
window_gone() { ! xdotool getwindowname "$1" >/dev/null 2>&1; }
cli_run() { VANTLO_PASSWORD=$password ws_run "$cli" --account "$account" "$@" 2>>"$artifacts/cli.log"; }
ids_named() { cli_run ls --messages "$1" | tr -d '\r' | awk -F'\t' -v name="$2" '$5 == name { print $1 }'; }
# Whether the folder lists the file whole (ls shows an incomplete one marked).
listed_whole() { cli_run ls "$target" | tr -d '\r' | grep -F "$1" | grep -qv '不完整\|incomplete'; }
windows_path() { echo "Z:${1//\//\\}"; }

sign_in() {
    local signin
    ws_run "$vantlo" >>"$artifacts/vantlo.log" 2>&1 &
    vantlo_pid=$!
    signin=$(wait_until find_window Vantlo '340x105') || fail "the sign-in window did not open"
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$signin")"
    xdotool mousemove $((X + 77)) $((Y + 50)) click 1  # the account, typed afresh
    xdotool key End shift+Home BackSpace
    xdotool type --delay 30 "$account"
    xdotool mousemove $((X + 77)) $((Y + 75)) click 1
    sleep 0.3
    xdotool type --delay 30 "$password"
    xdotool key Return
    main=$(wait_until find_window Vantlo '768x576') || fail "the main window did not open"
    sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$main")"
    mx=$X my=$Y
    xdotool mousemove $((mx + 85)) $((my + 31 + 7 * 16)) click --repeat 2 --delay 80 1  # 工作文档
    sleep 1.5
}
# "上传文件" from the list's menu, the file's path typed into the open dialog.
upload() {
    local dialog
    xdotool mousemove $((mx + 480)) $((my + 300)) click 1 click 3  # above the transfer list
    sleep 0.7
    xdotool key Down Return
    dialog=$(wait_until find_window 打开) || fail "the open dialog did not open"
    sleep 0.7
    xdotool windowactivate --sync "$dialog" 2>/dev/null
    xdotool key ctrl+a
    xdotool type --delay 20 "$(windows_path "$1")"
    xdotool key Return
    wait_until window_gone "$dialog" || fail "the open dialog did not close"
}

mkdir -p "$artifacts" || exit 1
rm -f "$artifacts"/*.png "$artifacts"/*.log
ws_begin && ws_start_display && ws_make_prefix "$template_dir" || exit 1
ws_user_registry_text 'Software\Vantlo\UserList' @ "$account"
ws_start_provider "$provider" || exit 1

small=$WS_TMP/report-$$.bin big=$WS_TMP/backup-$$.bin  # xdotool types ASCII only
head -c 3000000 /dev/urandom >"$small"
# Large enough to be still on its way when the window is closed, however
# fast this machine is (sparse: made at once, sent in full).
truncate -s 1G "$big"

# 1. An upload: the transfer list opens beside the main window.
sign_in
shot signed-in
upload "$small"
panel=$(wait_until find_window 传输列表) || fail "the transfer list did not open"
tries=100 wait_until listed_whole "$(basename "$small")" || fail "the upload did not arrive"
sleep 1
shot uploaded-list

# 2. The same name again: 保留两者 (the dialog's default) stores "name (2).bin".
upload "$small"
conflict=$(wait_until find_window 文件已存在) || fail "the name conflict was not asked"
sleep 0.5
shot conflict-asked
xdotool key Return
kept="report-$$ (2).bin"
tries=100 wait_until listed_whole "$kept" || fail "保留两者 did not store $kept"
[ "$(ids_named "$target" "$(basename "$small")" | wc -l)" = 1 ] || fail "the first file changed"
sleep 1
shot kept-both

# 3. A large upload, and the window closed while it runs: the question first.
upload "$big"
sleep 2.5
shot big-running
xdotool mousemove $((mx + 768 - 22)) $((my + 12)) click 1  # the close label "X"
sleep 1.5
shot close-asked
listed_whole "$(basename "$big")" && fail "the large upload ended before the window was closed"
xdotool key Return  # 是
ended() { ! kill -0 "$vantlo_pid" 2>/dev/null; }
wait_until ended || fail "the program did not end after the question"

echo "transfers_e2e: passed"
exit 0
