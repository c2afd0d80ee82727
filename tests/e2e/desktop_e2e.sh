#!/usr/bin/env bash
# End to end: the desktop program, Vantlo.exe, under wine64 and Xvfb against
# a local vantlo-provider with its demo account, driven with xdotool the way
# a person would, through what only the real shell dialogs and menus show:
# sign in, open the folder "工作文档", upload a file through the context
# menu and the open dialog, see it listed, download it back through the
# save dialog, and compare the bytes; then show that file's properties, and
# store three files chosen at once in the open dialog; make a vault with
# 新建保险箱, store a file with a Chinese name in it sealed and take it
# back, and find it shut in the next run until its passphrase is typed (a
# wrong one is asked again). The sign-in is typed: the account box has the
# focus, Tab leads to the password. The provider speaks TLS, checked
# against its test CA. A screenshot is kept at every step.
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

# 7. A vault: 工具's last entry, 新建保险箱, asks a name and the passphrase
# twice and opens the new vault. A file with a Chinese name goes in sealed:
# vantlo-cli opens it with the same passphrase, the file comes back whole
# through the save dialog, and the provider's data holds neither its name
# nor its bytes (while it does hold the plain upload's name).
vault_name=e2e-vault-$$ vault_pass="e2e vault pass"
vault_file_name=机密报告-$$.txt
vault_file=$WS_TMP/$vault_file_name vault_back=$WS_TMP/vault-back-$$.txt
marker="VANTLO-E2E-PLAIN-$$-"
python3 -c "import sys; sys.stdout.write(sys.argv[1] * 12000)" "$marker" >"$vault_file" || fail "cannot write $vault_file"
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 318)) $((Y + 15)) click 1
sleep 0.8
xdotool key Up Return
dialog=$(wait_until find_window 新建保险箱) || fail "新建保险箱 did not ask"
sleep 0.7
shot new-vault-dialog
xdotool windowactivate --sync "$dialog" 2>/dev/null
xdotool type --delay 30 "$vault_name"
xdotool key Tab
xdotool type --delay 30 "$vault_pass"
xdotool key Tab
xdotool type --delay 30 "$vault_pass"
shot new-vault-typed
xdotool key Return
wait_until window_gone "$dialog" || fail "the new vault's dialog did not close"
sleep 4  # the key derivation, then the tree afresh
shot vault-made
menu_shot=vault-upload-menu dialog_shot=vault-open-dialog
context_command 480 300 1
type_delay=150 answer_file_dialog 打开 "$(windows_path "$vault_file")"
vault_ls() { VANTLO_VAULT_PASSPHRASE=$vault_pass cli_run vault ls "/$vault_name" | tr -d '\r'; }
sealed_arrived() { vault_ls | grep -q -- "-$$.txt"; }
wait_until sealed_arrived || fail "vantlo-cli does not find the file in the vault"
sleep 2
shot vault-uploaded
menu_shot=vault-download-menu dialog_shot=vault-save-dialog
context_command 300 84 2
answer_file_dialog 另存为 "$(windows_path "$vault_back")"
opened_back() { cmp -s "$vault_file" "$vault_back"; }
wait_until opened_back || fail "the vault's file came back different"
data=${WS_PROVIDER_DATA:-$WS_TMP/provider-data}
grep -rqF "$upload_name" "$data" || fail "the provider's data does not show the plain upload's name: the check below would see nothing"
! grep -rqF "$vault_file_name" "$data" || fail "the provider's data holds the vault file's name"
! grep -rqaF "$marker" "$data" || fail "the provider's data holds the vault file's bytes"
sleep 1
shot vault-downloaded

close_program() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool mousemove $((X + WIDTH - 22)) $((Y + 12)) click 1  # the close label "X"
    wait_until program_ended "$vantlo_pid" || fail "the program did not end after its window was closed"
}
close_program

# 8. The next run knows no key: the vault, the tree's last item (End,
# then Enter opens it), shows shut and asks its passphrase; a wrong one is
# refused and asked again, the right one lists the file.
start_and_sign_in saved
xdotool mousemove $((mx + 85)) $((my + 47)) click 1  # the mail root
xdotool key End Return
ask=$(wait_until find_window 打开保险箱) || fail "opening the vault did not ask its passphrase"
sleep 0.7
shot vault-passphrase-asked
xdotool windowactivate --sync "$ask" 2>/dev/null
xdotool type --delay 30 "not the passphrase"
xdotool key Return
wait_until window_gone "$ask" || fail "the passphrase dialog did not close"
ask=$(wait_until find_window 打开保险箱) || fail "a wrong passphrase was not asked again"
sleep 0.7
shot vault-passphrase-wrong
xdotool windowactivate --sync "$ask" 2>/dev/null
xdotool type --delay 30 "$vault_pass"
xdotool key Return
wait_until window_gone "$ask" || fail "the passphrase dialog did not close"
sleep 4
shot vault-opened
close_program
echo "desktop_e2e: passed"
exit 0
