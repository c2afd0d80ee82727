#!/usr/bin/env bash
# End to end: the desktop program, Vantlo.exe, under wine64 and Xvfb against
# a local vantlo-provider with its demo account, driven with xdotool the way
# a person would: sign in, open the folder "工作文档", upload a file through
# the context menu and the open dialog, see it listed, download it back
# through the save dialog, and compare the bytes. A screenshot is kept at
# every step.
#
#   desktop_e2e.sh --vantlo Vantlo.exe --cli vantlo-cli.exe --provider vantlo-provider
#                  --template-dir DIR --artifacts DIR
#
# --cli is the Windows build of vantlo-cli, run under Wine to read the
# provider's state. Exit code 0 when every step held.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../win/wine-session.sh"

vantlo="" cli="" provider="" template_dir="" artifacts=""
while [ $# -gt 0 ]; do
    case "$1" in
    --vantlo) vantlo=$2; shift 2 ;;
    --cli) cli=$2; shift 2 ;;
    --provider) provider=$2; shift 2 ;;
    --template-dir) template_dir=$2; shift 2 ;;
    --artifacts) artifacts=$2; shift 2 ;;
    *) echo "desktop_e2e: unknown option $1" >&2; exit 2 ;;
    esac
done
for needed in "$vantlo" "$cli" "$provider"; do
    [ -n "$needed" ] && [ -e "$needed" ] || { echo "desktop_e2e: missing program: '$needed'" >&2; exit 2; }
done
[ -n "$template_dir" ] && [ -n "$artifacts" ] || { echo "desktop_e2e: --template-dir and --artifacts are needed" >&2; exit 2; }

account=demo@163.example
password=vantlo-demo
folder_name=工作文档
step=0

say() { echo "desktop_e2e: $*"; }
fail() {
    shot "failed"
    say "FAILED: $*" >&2
    exit 1
}
shot() {  # name: the whole screen, numbered in the order taken
    step=$((step + 1))
    local file
    file=$(printf '%s/%02d-%s.png' "$artifacts" "$step" "$1")
    ws_screenshot "$file" && say "screenshot $file"
}

# The first visible top-level window of that exact title and, when given, a
# size matching the pattern "WIDTHxHEIGHT" (xdotool's regular expressions
# miss titles outside ASCII, so the titles are compared here).
find_window() {  # title [size-pattern]
    local id
    for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] || continue
        if [ -n "${2:-}" ]; then
            xdotool getwindowgeometry "$id" 2>/dev/null | grep -q "Geometry: $2\$" || continue
        fi
        echo "$id"
        return 0
    done
    return 1
}

wait_for_window() {  # title [size-pattern]: its id, within 20 seconds
    local i id
    for i in $(seq 200); do
        id=$(find_window "$@") && { echo "$id"; return 0; }
        kill -0 "$vantlo_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

wait_gone() {  # window id, within 20 seconds
    local i
    for i in $(seq 200); do
        xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# Runs the command-line client against the same provider.
cli_run() {
    VANTLO_PASSWORD=$password ws_run "$cli" --account "$account" "$@" 2>>"$artifacts/cli.log"
}

folder_id() {  # name
    cli_run folders | tr -d '\r' | awk -F'\t' -v name="$1" '$2 == name { print $1 }'
}

# Message ids in the folder whose subject is exactly the name.
ids_named() {  # folder id, subject
    cli_run ls "$1" | tr -d '\r' | awk -F'\t' -v name="$2" '$5 == name { print $1 }'
}

wait_for_message() {  # folder id, subject: within 60 seconds
    local i
    for i in $(seq 60); do
        [ -n "$(ids_named "$1" "$2")" ] && return 0
        sleep 1
    done
    return 1
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
    dialog=$(wait_for_window "$1") || fail "the dialog \"$1\" did not open"
    sleep 0.7
    shot "$dialog_shot"
    xdotool windowactivate --sync "$dialog" 2>/dev/null
    xdotool key ctrl+a
    xdotool type --delay 20 "$2"
    xdotool key Return
    wait_gone "$dialog" || fail "the dialog \"$1\" did not close"
}

mkdir -p "$artifacts" || exit 1
rm -f "$artifacts"/*.png "$artifacts"/cli.log
ws_begin || exit 1
ws_start_display || exit 1
ws_make_prefix "$template_dir" || exit 1
ws_user_registry_text 'Software\Vantlo\UserList' @ "$account"
ws_user_registry_text 'Software\Vantlo' bStorePwd 1
ws_start_provider "$provider" || exit 1  # no accounts named: the demo account and its content
say "vantlo-provider at $VANTLO_PROVIDER"

# The file that travels: every byte value, in a pattern that no simple
# mistake keeps.
upload_name=e2e-upload-$$.bin
upload_file=$WS_TMP/$upload_name
download_file=$WS_TMP/e2e-download-$$.bin
python3 -c "import sys; sys.stdout.buffer.write(bytes((i * 7919 + i // 256) % 256 for i in range(300000)))" >"$upload_file" ||
    fail "cannot write $upload_file"
windows_path() { echo "Z:${1//\//\\}"; }

target=$(folder_id "$folder_name")
[ -n "$target" ] || fail "the provider has no folder $folder_name"
say "folder $folder_name is $target"

ws_run "$vantlo" >"$artifacts/vantlo.log" 2>&1 &
vantlo_pid=$!

# 1. Sign in: the account is offered; type the password into its box.
signin=$(wait_for_window Vantlo '340x105') || fail "the sign-in window did not open"
sleep 1
shot signin
eval "$(xdotool getwindowgeometry --shell "$signin")"
xdotool mousemove $((X + 7 + 50 + 20)) $((Y + 25 + 40 + 10)) click 1
sleep 0.3
xdotool type --delay 30 "$password"
xdotool key Return
main=$(wait_for_window Vantlo '768x576') || fail "the main window did not open"
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
say "uploading $upload_name into $folder_name"
wait_for_message "$target" "$upload_name" || fail "the file did not arrive in $folder_name"
[ -z "$(ids_named 1 "$upload_name")" ] || fail "the file's mail stayed in the inbox"
sleep 2  # the list is reloaded after the move
shot uploaded

# 4. Download: the new file is the newest, the list's first row. A right
# click selects it; "下载附件" is the second entry; the save dialog takes
# the target path.
menu_shot=download-menu dialog_shot=save-dialog
context_command $((mx + 300)) $((my + 84)) 2
answer_file_dialog 另存为 "$(windows_path "$download_file")"
for i in $(seq 100); do
    [ -f "$download_file" ] && cmp -s "$upload_file" "$download_file" && break
    sleep 0.2
done
sleep 1
shot downloaded
cmp "$upload_file" "$download_file" || fail "the downloaded bytes differ from the uploaded ones"
say "downloaded $(stat -c %s "$download_file") bytes, equal to the uploaded file"

xdotool mousemove $((mx + 768 - 22)) $((my + 12)) click 1  # the close label "X"
for i in $(seq 100); do kill -0 "$vantlo_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$vantlo_pid" 2>/dev/null && fail "the program did not end after its window was closed"
say "passed"
exit 0
