#!/usr/bin/env bash
# End to end: the desktop program, Vantlo.exe, under wine64 and Xvfb against
# a local vantlo-provider with its demo account, driven with xdotool the way
# a person would: sign in, open the folder "工作文档", upload a file through
# the context menu and the open dialog, see it listed, download it back
# through the save dialog, and compare the bytes; then search the folder by
# name (finding its file in several parts), show that file's properties,
# clear the search, and store three files chosen at once in the open dialog;
# delete the uploaded file (asked first, then found in 已删除), and size the
# window to 800x600 and maximised. Folders made below 工作文档 with the
# CLI show nested under it. Before all that, a sign-in towards a
# provider that cannot be reached says so in Chinese. The sign-in is typed:
# the account box has the focus, Tab leads to the password.
# The provider speaks TLS, checked against its test CA. A screenshot is kept
# at every step.
#
#   desktop_e2e.sh VANTLO.EXE VANTLO-CLI.EXE VANTLO-PROVIDER TEMPLATE_DIR ARTIFACTS_DIR
#
# VANTLO-CLI.EXE is the Windows build of vantlo-cli, run under Wine to read
# the provider's state; TEMPLATE_DIR caches the Wine template prefix;
# screenshots go to ARTIFACTS_DIR. Exit code 0 when every step held.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../win/wine-session.sh"

[ $# -eq 5 ] || { echo "usage: desktop_e2e.sh VANTLO CLI PROVIDER TEMPLATE_DIR ARTIFACTS_DIR" >&2; exit 2; }
vantlo=$1 cli=$2 provider=$3 template_dir=$4 artifacts=$5

account=demo@163.example
password=vantlo-demo
folder_name=工作文档 target=65550  # a folder of the demo account
step=0

fail() {
    shot "failed"
    echo "desktop_e2e: FAILED: $*" >&2
    exit 1
}
shot() {  # name: the whole screen, numbered in the order taken
    step=$((step + 1))
    ws_screenshot "$(printf '%s/%02d-%s.png' "$artifacts" "$step" "$1")"
}

# The first visible top-level window of that exact title and, when given, a
# size matching the pattern "WIDTHxHEIGHT" (xdotool's regular expressions
# miss titles outside ASCII, so the titles are compared here).
find_window() {  # title [size-pattern]
    local id
    for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] || continue
        [ -z "${2:-}" ] || xdotool getwindowgeometry "$id" 2>/dev/null | grep -q "Geometry: $2\$" || continue
        echo "$id"
        return 0
    done
    return 1
}

# Runs the command until it succeeds (its output passes through), at most
# 200 times, 0.1 seconds apart.
wait_until() {
    local i
    for i in $(seq 200); do "$@" && return 0; sleep 0.1; done
    return 1
}
window_gone() { ! xdotool getwindowname "$1" >/dev/null 2>&1; }

# Runs the command-line client against the same provider.
cli_run() {
    VANTLO_PASSWORD=$password ws_run "$cli" --account "$account" "$@" 2>>"$artifacts/cli.log"
}

# Message ids in the folder whose subject is exactly the name.
ids_named() {  # folder id, subject
    cli_run ls --messages "$1" | tr -d '\r' | awk -F'\t' -v name="$2" '$5 == name { print $1 }'
}

# The menu of a right click at that point, then the n-th entry chosen
# with the keyboard.
context_command() {  # x y n
    xdotool mousemove "$1" "$2" click 3
    sleep 0.7
    shot "$menu_shot"
    local i
    for i in $(seq "$3"); do xdotool key Down; sleep 0.1; done
    xdotool key Return
}

# Types a path into the file name box of an open or save dialog and
# confirms it.
answer_file_dialog() {  # title, Windows path
    local dialog
    dialog=$(wait_until find_window "$1") || fail "the dialog \"$1\" did not open"
    sleep 0.7
    shot "$dialog_shot"
    xdotool windowactivate --sync "$dialog" 2>/dev/null
    xdotool key ctrl+a
    xdotool type --delay 20 "$2"
    xdotool key Return
    wait_until window_gone "$dialog" || fail "the dialog \"$1\" did not close"
}

mkdir -p "$artifacts" || exit 1
rm -f "$artifacts"/*.png "$artifacts"/cli.log
ws_begin && ws_start_display && ws_make_prefix "$template_dir" || exit 1
ws_user_registry_text 'Software\Vantlo\UserList' @ "$account"
ws_user_registry_text 'Software\Vantlo' bStorePwd 1
ws_start_provider "$provider" || exit 1  # no accounts named: the demo account and its content

# The file that travels: every byte value, in a pattern that no simple
# mistake keeps.
upload_name=e2e-upload-$$.bin
upload_file=$WS_TMP/$upload_name
download_file=$WS_TMP/e2e-download-$$.bin
python3 -c "import sys; sys.stdout.buffer.write(bytes((i * 7919 + i // 256) % 256 for i in range(300000)))" >"$upload_file" ||
    fail "cannot write $upload_file"
windows_path() { echo "Z:${1//\//\\}"; }


# 0. A provider that cannot be reached: the notice says so, not "wrong password".
sign_in_by_keys() {  # window
    xdotool windowactivate --sync "$1" 2>/dev/null
    xdotool key Tab  # from the account box to the password
    sleep 0.3
    xdotool type --delay 30 "$password"
    xdotool key Return
}
VANTLO_PROVIDER=127.0.0.1:1 ws_run "$vantlo" >"$artifacts/vantlo-unreachable.log" 2>&1 &
unreachable_pid=$!
signin=$(wait_until find_window Vantlo '340x105') || fail "the sign-in window did not open"
sleep 1
sign_in_by_keys "$signin"
notice=$(wait_until find_window 提示) || fail "no notice for an unreachable provider"
sleep 0.7
shot signin-unreachable
xdotool windowactivate --sync "$notice" 2>/dev/null
xdotool key Return
wait_until window_gone "$notice" || fail "the notice did not close"
eval "$(xdotool getwindowgeometry --shell "$signin")"
xdotool mousemove $((X + 318 + 6)) $((Y + 8 + 7)) click 1  # the close label "X"
first_ended() { ! kill -0 "$unreachable_pid" 2>/dev/null; }
wait_until first_ended || fail "the first program did not end"

# Folders nest: two levels below 工作文档, shown under it in the tree.
cli_run mkdir -p "$folder_name/2026/三月报告" >/dev/null || fail "cannot make the nested folders"

ws_run "$vantlo" >"$artifacts/vantlo.log" 2>&1 &
vantlo_pid=$!

# 1. Sign in: the account is offered; Tab, the password, Enter.
signin=$(wait_until find_window Vantlo '340x105') || fail "the sign-in window did not open"
sleep 1
shot signin
sign_in_by_keys "$signin"
main=$(wait_until find_window Vantlo '768x576') || fail "the main window did not open"
sleep 1.5
shot signed-in
eval "$(xdotool getwindowgeometry --shell "$main")"
mx=$X my=$Y

# 2. Open the folder: a double click on its tree item. The tree's rows are
# 16 pixels apart from its first, the account, at y 31: account, mail root,
# the five system folders, then 工作文档.
xdotool mousemove $((mx + 85)) $((my + 31 + 7 * 16)) click --repeat 2 --delay 80 1
sleep 1.5
shot folder-open

# 3. Upload: a right click on the list without a selection offers only
# "上传文件"; the open dialog takes the file's path.
menu_shot=upload-menu dialog_shot=open-dialog
context_command $((mx + 480)) $((my + 400)) 1
answer_file_dialog 打开 "$(windows_path "$upload_file")"
file_arrived() { [ -n "$(ids_named "$target" "$upload_name")" ]; }
wait_until file_arrived || fail "the file did not arrive in $folder_name"
[ -z "$(ids_named 1 "$upload_name")" ] || fail "the file's mail stayed in the inbox"
sleep 2  # the list is reloaded after the move
shot uploaded

# 4. Download: the header "修改时间" clicked twice puts the newest file
# first. A right click selects it; "下载..." is the second entry; the save
# dialog takes the target path.
xdotool mousemove $((mx + 585)) $((my + 66)) click 1
sleep 0.5
xdotool click 1
sleep 0.7
shot sorted-newest-first
menu_shot=download-menu dialog_shot=save-dialog
context_command $((mx + 300)) $((my + 84)) 2
answer_file_dialog 另存为 "$(windows_path "$download_file")"
downloaded() { cmp -s "$upload_file" "$download_file"; }
wait_until downloaded || fail "the downloaded bytes differ from the uploaded ones"
sleep 1
shot downloaded

# 5. Search: the box above the list; Enter lists the files whose names
# contain the text. The demo's manual is stored in several parts: one row.
xdotool mousemove $((mx + 500)) $((my + 40)) click 1
sleep 0.3
xdotool type --delay 30 "vantlo"  # any case
xdotool key Return
sleep 2
shot search-multipart-file

# 6. Properties of that file: a right click on its row, "属性" the eighth entry.
menu_shot=properties-menu
context_command $((mx + 300)) $((my + 84)) 8
props=$(wait_until find_window 属性) || fail "the properties box did not open"
sleep 0.7
shot properties
xdotool windowactivate --sync "$props" 2>/dev/null
xdotool key Return
wait_until window_gone "$props" || fail "the properties box did not close"

# 7. The search cleared: the whole folder again.
xdotool mousemove $((mx + 500)) $((my + 40)) click 1
xdotool key End shift+Home BackSpace  # the edit box knows no Ctrl+A
sleep 2
shot search-cleared

# 8. Three files at once through the open dialog: into their folder first,
# then the three names in quotes.
for i in 1 2 3; do head -c $((i * 40000)) "$upload_file" >"$WS_TMP/multi-$i-$$.bin"; done
xdotool mousemove $((mx + 480)) $((my + 400)) click 1  # no row selected
menu_shot=multi-upload-menu dialog_shot=multi-open-dialog
context_command $((mx + 480)) $((my + 400)) 1
dialog=$(wait_until find_window 打开) || fail "the open dialog did not open"
sleep 0.7
xdotool windowactivate --sync "$dialog" 2>/dev/null
xdotool key ctrl+a
xdotool type --delay 20 "$(windows_path "$WS_TMP")"
xdotool key Return
sleep 1
xdotool key ctrl+a
xdotool type --delay 20 "\"multi-1-$$.bin\" \"multi-2-$$.bin\" \"multi-3-$$.bin\""
shot multi-open-dialog
xdotool key Return
wait_until window_gone "$dialog" || fail "the open dialog did not close"
all_arrived() { local i; for i in 1 2 3; do [ -n "$(ids_named "$target" "multi-$i-$$.bin")" ] || return 1; done; }
wait_until all_arrived || fail "the three files did not all arrive in $folder_name"
sleep 2
shot multi-uploaded

# 9. Delete the uploaded file with the Delete key: the question names it;
# "是" (Y) moves it to 已删除 (folder 4), where it waits.
xdotool mousemove $((mx + 585)) $((my + 66)) click 1  # newest first again
sleep 0.5
xdotool click 1
sleep 0.7
xdotool mousemove $((mx + 300)) $((my + 84)) click 1
sleep 0.3
xdotool key Delete
question=$(wait_until find_window 删除文件) || fail "Delete did not ask"
sleep 0.7
shot delete-asks
xdotool windowactivate --sync "$question" 2>/dev/null
xdotool key y
wait_until window_gone "$question" || fail "the question did not close"
in_trash() { [ -n "$(ids_named 4 "multi-3-$$.bin")" ]; }
wait_until in_trash || fail "the deleted file is not in 已删除"
sleep 2
shot deleted-status-line

# 10. The window at 800x600, then maximised (a double click on its caption).
xdotool windowsize "$main" 800 600
sleep 1.5
shot window-800x600
xdotool mousemove $((mx + 450)) $((my + 12)) click --repeat 2 --delay 80 1
sleep 1.5
shot window-maximised
xdotool mousemove $((mx + 450)) $((my + 12)) click --repeat 2 --delay 80 1  # back
sleep 1.5

eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + WIDTH - 22)) $((Y + 12)) click 1  # the close label "X"
ended() { ! kill -0 "$vantlo_pid" 2>/dev/null; }
wait_until ended || fail "the program did not end after its window was closed"
echo "desktop_e2e: passed"
exit 0
