#!/usr/bin/env bash
# End to end: the desktop program, Vantlo.exe, under wine64 and Xvfb against
# a local vantlo-provider with its demo account, driven with xdotool the way
# a person would, through what only the real shell dialogs and menus show:
# sign in, open the folder "工作文档", upload a file through the context
# menu and the open dialog, see it listed, download it back through the
# save dialog, and compare the bytes; then show that file's properties, and
# store three files chosen at once in the open dialog. The sign-in is
# typed: the account box has the focus, Tab leads to the password. The
# provider speaks TLS, checked against its test CA. A screenshot is kept at
# every step.
# (The windows' own behaviour, in-process, is tests/win's.)
#
#   desktop_e2e.sh VANTLO.EXE VANTLO-CLI.EXE VANTLO-PROVIDER TEMPLATE_DIR ARTIFACTS_DIR
# (e2e_session.sh tells the arguments.) Exit code 0 when every step held.
. "$(dirname "${BASH_SOURCE[0]}")/e2e_session.sh" desktop_e2e "$@"

# The file that travels: every byte value, in a pattern that no simple
# mistake keeps.
upload_name=e2e-upload-$$.bin
upload_file=$WS_TMP/$upload_name
download_file=$WS_TMP/e2e-download-$$.bin
python3 -c "import sys; sys.stdout.buffer.write(bytes((i * 7919 + i // 256) % 256 for i in range(300000)))" >"$upload_file" ||
    fail "cannot write $upload_file"

# 1. Sign in: the account is offered; Tab, the password, Enter. 2. Open the
# folder.
sign_in_and_open_folder

# 3. Upload: a right click on the list without a selection offers only
# "上传文件"; the open dialog takes the file's path.
menu_shot=upload-menu dialog_shot=open-dialog
context_command 480 400 1
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
context_command 300 84 2
answer_file_dialog 另存为 "$(windows_path "$download_file")"
downloaded() { cmp -s "$upload_file" "$download_file"; }
wait_until downloaded || fail "the downloaded bytes differ from the uploaded ones"
sleep 1
shot downloaded

# 5. Properties of that file: a right click on its row, "属性" the eighth entry.
menu_shot=properties-menu
context_command 300 84 8
props=$(wait_until find_window 属性) || fail "the properties box did not open"
sleep 0.7
shot properties
xdotool windowactivate --sync "$props" 2>/dev/null
xdotool key Return
wait_until window_gone "$props" || fail "the properties box did not close"

# 6. Three files at once through the open dialog: into their folder first,
# then the three names in quotes.
for i in 1 2 3; do head -c $((i * 40000)) "$upload_file" >"$WS_TMP/multi-$i-$$.bin"; done
# Above the transfer list, which stands over the lower part of the files.
xdotool mousemove $((mx + 480)) $((my + 300)) click 1  # no row selected
menu_shot=multi-upload-menu dialog_shot=multi-open-dialog
context_command 480 300 1
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

eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + WIDTH - 22)) $((Y + 12)) click 1  # the close label "X"
wait_until program_ended "$vantlo_pid" || fail "the program did not end after its window was closed"
echo "desktop_e2e: passed"
exit 0
