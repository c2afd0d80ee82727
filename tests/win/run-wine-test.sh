#!/usr/bin/env bash
# Runs one Windows test program under wine64 for CTest: a display, a fresh
# WINEPREFIX, a local vantlo-provider when one is given, and the screenshot
# watcher; everything is stopped and removed when the program ends. The exit
# code is the program's.
#
#   run-wine-test.sh --template-dir DIR --artifacts DIR [--provider EXE]
#                    [--account ADDRESS:PASSWORD]... -- PROGRAM.exe [ARGS...]
#
# --template-dir: where the Wine template prefix is cached (the build tree).
# --artifacts:    where screenshots and logs of this run are kept.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-session.sh"

template_dir="" artifacts="" provider="" accounts=()
while [ $# -gt 0 ]; do
    case "$1" in
    --template-dir) template_dir=$2; shift 2 ;;
    --artifacts) artifacts=$2; shift 2 ;;
    --provider) provider=$2; shift 2 ;;
    --account) accounts+=("$2"); shift 2 ;;
    --) shift; break ;;
    *) echo "run-wine-test.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
if [ -z "$template_dir" ] || [ -z "$artifacts" ] || [ $# -eq 0 ]; then
    echo "usage: run-wine-test.sh --template-dir DIR --artifacts DIR [--provider EXE] [--account A:P]... -- PROGRAM [ARGS...]" >&2
    exit 2
fi

ws_begin || exit 1
ws_start_display || exit 1
ws_make_prefix "$template_dir" || exit 1
if [ -n "$provider" ]; then
    [ -x "$provider" ] || { echo "run-wine-test.sh: no provider at $provider" >&2; exit 1; }
    ws_start_provider "$provider" "${accounts[@]}" || exit 1
    echo "run-wine-test.sh: vantlo-provider at $VANTLO_PROVIDER"
fi
ws_watch_screenshots "$artifacts" || exit 1
ws_run "$@"
status=$?
cp -f "$WS_TMP/provider.log" "$artifacts/provider.log" 2>/dev/null
exit $status
