# What the desktop's end-to-end scripts share: their arguments, a Wine
# session on Xvfb with a local vantlo-provider (its demo account, offered at
# sign-in, over TLS checked against its test CA), screenshots numbered in
# the order taken, windows found and waited for by their titles, and the
# Windows build of vantlo-cli to read the provider's state.
#
#   . e2e_session.sh NAME VANTLO.EXE VANTLO-CLI.EXE VANTLO-PROVIDER TEMPLATE_DIR ARTIFACTS_DIR
#
# TEMPLATE_DIR caches the Wine template prefix; screenshots and logs go to
# ARTIFACTS_DIR.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-session.sh"

e2e_name=$1
shift
[ $# -eq 5 ] || { echo "usage: $e2e_name.sh VANTLO CLI PROVIDER TEMPLATE_DIR ARTIFACTS_DIR" >&2; exit 2; }
vantlo=$1 cli=$2 provider=$3 template_dir=$4 artifacts=$5
account=demo@163.example password=vantlo-demo
folder_name=工作文档 target=65550  # a folder of the demo account
step=0

fail() { shot failed; echo "$e2e_name: FAILED: $*" >&2; exit 1; }
shot() { step=$((step + 1)); ws_screenshot "$(printf '%s/%02d-%s.png' "$artifacts" "$step" "$1")"; }
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
# $tries times (200 unless set), 0.1 seconds apart.
wait_until() { local i; for i in $(seq "${tries:-200}"); do "$@" && return 0; sleep 0.1; done; return 1; }
window_gone() { ! xdotool getwindowname "$1" >/dev/null 2>&1; }
program_ended() { ! kill -0 "$1" 2>/dev/null; }
cli_run() { VANTLO_PASSWORD=$password ws_run "$cli" --account "$account" "$@" 2>>"$artifacts/cli.log"; }
# Message ids in the folder whose subject is exactly the name.
ids_named() { cli_run ls --messages "$1" | tr -d '\r' | awk -F'\t' -v name="$2" '$5 == name { print $1 }'; }
windows_path() { echo "Z:${1//\//\\}"; }

# Vantlo.exe started (its process in vantlo_pid) and signed in; the main
# window's corner in mx, my. The account is offered and has the focus: Tab
# leads to the password. With "saved", the password the last run kept
# fills its box as it gets the focus: Enter alone signs in.
start_and_sign_in() {  # [saved]
    local signin
    ws_run "$vantlo" >>"$artifacts/vantlo.log" 2>&1 &
    vantlo_pid=$!
    signin=$(wait_until find_window Vantlo '340x105') || fail "the sign-in window did not open"
    sleep 1
    shot signin
    xdotool windowactivate --sync "$signin" 2>/dev/null
    xdotool key Tab
    sleep 0.3
    [ "${1:-}" = saved ] || xdotool type --delay 30 "$password"
    xdotool key Return
    main=$(wait_until find_window Vantlo '768x576') || fail "the main window did not open"
    sleep 1.5
    shot signed-in
    eval "$(xdotool getwindowgeometry --shell "$main")"
    mx=$X my=$Y
}

# The folder opened with a double click on its tree item. The tree's rows
# are 16 pixels apart from its first, the account, at y 31: account, mail
# root, the five system folders, then 工作文档.
open_folder() {
    xdotool mousemove $((mx + 85)) $((my + 31 + 7 * 16)) click --repeat 2 --delay 80 1
    sleep 1.5
    shot folder-open
}

sign_in_and_open_folder() {
    start_and_sign_in
    open_folder
}

# The menu of a right click at that point of the main window, then the
# n-th entry chosen with the keyboard.
context_command() {  # x y n
    xdotool mousemove $((mx + $1)) $((my + $2)) click 3
    sleep 0.7
    shot "${menu_shot:-menu}"
    local i
    for i in $(seq "$3"); do xdotool key Down; sleep 0.1; done
    xdotool key Return
}

# Types a path into the file name box of an open or save dialog and
# confirms it; type_delay (ms a key, 20 unless set) slower for Chinese
# characters, which xdotool types through a remapped key and may lose.
answer_file_dialog() {  # title, Windows path
    local dialog
    dialog=$(wait_until find_window "$1") || fail "the dialog \"$1\" did not open"
    sleep 0.7
    shot "${dialog_shot:-dialog}"
    xdotool windowactivate --sync "$dialog" 2>/dev/null
    xdotool key ctrl+a
    xdotool type --delay "${type_delay:-20}" "$2"
    xdotool key Return
    wait_until window_gone "$dialog" || fail "the dialog \"$1\" did not close"
}

mkdir -p "$artifacts" || exit 1
rm -f "$artifacts"/*.png "$artifacts"/*.log
ws_begin && ws_start_display && ws_make_prefix "$template_dir" || exit 1
ws_user_registry_text 'Software\Vantlo\UserList' @ "$account"
ws_user_registry_text 'Software\Vantlo' bStorePwd 1
ws_start_provider "$provider" || exit 1  # no accounts named: the demo account and its content
