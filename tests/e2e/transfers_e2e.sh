#!/usr/bin/env bash
# End to end: the desktop's transfers, Vantlo.exe under wine64 and Xvfb
# against a local vantlo-provider's demo account, driven with xdotool: an
# upload shows in the transfer list; the same name again asks, and
# "保留两者" stores "name (2).ext"; closing the window while a large upload
# runs asks first, and 是 ends the program; the next start offers to go on
# ("继续传输"), and 是 sends the rest: the file is then whole, once.
# A screenshot is kept at every step.
#
#   transfers_e2e.sh VANTLO.EXE VANTLO-CLI.EXE VANTLO-PROVIDER TEMPLATE_DIR ARTIFACTS_DIR
. "$(dirname "${BASH_SOURCE[0]}")/e2e_session.sh" transfers_e2e "$@"

# The folder's rows of exactly that name: NAME SIZE PARTS STORED KEY, where
# PARTS of a file not whole goes on with "incomplete: ..." (parts missing
# or stored twice).
rows_named() { cli_run ls "$target" | tr -d '\r' | awk -F'\t' -v name="$1" '$1 == name'; }
listed_whole() { rows_named "$1" | cut -f3 | grep -qx '[0-9][0-9]*'; }
listed_incomplete() { rows_named "$1" | cut -f3 | grep -q incomplete; }
# The transfer list wholly on the screen and in front of the main window,
# which a click on the main window must not change (an owned window).
# xwininfo names the screen's windows from the top down.
list_in_front() {
    local list WINDOW X Y WIDTH HEIGHT SCREEN screen_width screen_height
    list=$(find_window 传输列表) || return 1
    eval "$(xdotool getwindowgeometry --shell "$list")"
    read -r screen_width screen_height < <(xdotool getdisplaygeometry)
    [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le "$screen_width" ] &&
        [ $((Y + HEIGHT)) -le "$screen_height" ] || return 1
    xwininfo -root -children | awk -v main="$(printf '0x%x' "$main")" -v list="$(printf '0x%x' "$list")" \
        '$1 == main { m = NR } $1 == list { l = NR } END { exit !(l && m && l < m) }'
}
# "上传文件" from the list's menu (nothing selected, above the transfer
# list), the file's path typed into the open dialog.
upload() {
    xdotool mousemove $((mx + 480)) $((my + 300)) click 1
    context_command 480 300 1
    answer_file_dialog 打开 "$(windows_path "$1")"
}

small=$WS_TMP/report-$$.bin big=$WS_TMP/backup-$$.bin  # xdotool types ASCII only
head -c 3000000 /dev/urandom >"$small"
# Large enough to be still on its way when the window is closed, however
# fast this machine is (sparse: made at once, sent in full).
truncate -s 1G "$big"

# 1. An upload: the transfer list opens beside the main window.
sign_in_and_open_folder
upload "$small"
wait_until find_window 传输列表 >/dev/null || fail "the transfer list did not open"
tries=100 wait_until listed_whole "$(basename "$small")" || fail "the upload did not arrive"
sleep 1
shot uploaded-list
list_in_front || fail "the transfer list is not on the screen in front of the main window"

# 2. The same name again: 保留两者 (the dialog's default) stores "name (2).bin".
upload "$small"
wait_until find_window 文件已存在 >/dev/null || fail "the name conflict was not asked"
sleep 0.5
shot conflict-asked
xdotool key Return
kept="report-$$ (2).bin"
tries=100 wait_until listed_whole "$kept" || fail "保留两者 did not store $kept"
[ "$(ids_named "$target" "$(basename "$small")" | wc -l)" = 1 ] || fail "the first file changed"
sleep 1
shot kept-both

# 3. A large upload, and the window closed while it runs: the question
# first. Closed once some of its parts are stored, so that the next start
# has a half-stored file to finish.
big_name=$(basename "$big")
upload "$big"
tries=300 wait_until listed_incomplete "$big_name" || fail "no part of the large upload was stored"
sleep 0.5
shot big-running
list_in_front || fail "the transfer list went behind the main window"
xdotool mousemove $((mx + 768 - 22)) $((my + 12)) click 1  # the close label "X"
sleep 1.5
shot close-asked
listed_whole "$big_name" && fail "the large upload ended before the window was closed"
xdotool key Return  # 是
wait_until program_ended "$vantlo_pid" || fail "the program did not end after the question"
listed_incomplete "$big_name" || fail "the stored parts of the large upload went with the program"

# 4. The next start in the same Wine prefix: the kept queue is offered
# ("继续传输") over the transfer list, 是 sends what is missing, and the
# folder then holds the file once, whole and of its full size.
start_and_sign_in saved
offer=$(wait_until find_window 继续传输) || fail "the unfinished upload was not offered"
sleep 0.7
shot resume-asked
xdotool key Return  # 是
wait_until window_gone "$offer" || fail "the offer did not close"
tries=300 wait_until listed_whole "$big_name" || fail "the resumed upload did not finish"
rows=$(rows_named "$big_name")
[ "$(printf '%s\n' "$rows" | cut -f2)" = "$(stat -c %s "$big")" ] || fail "not one whole $big_name: $rows"
open_folder
sleep 1
shot resumed-whole
list_in_front || fail "the transfer list went behind the main window after a click on it"

echo "transfers_e2e: passed"
exit 0
