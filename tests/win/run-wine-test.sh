#!/usr/bin/env bash
# Runs one Windows test program under wine64 for CTest: a display, a fresh
# WINEPREFIX and a local vantlo-provider serving the accounts given
# (ADDRESS:PASSWORD), or none when PROVIDER is "-"; all of it is stopped and
# removed when the program ends. The exit code is the program's.
#
#   run-wine-test.sh TEMPLATE_DIR PROVIDER [ACCOUNT]... -- PROGRAM.exe [ARGS...]
#
# TEMPLATE_DIR: where the Wine template prefix is cached (the build tree).
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-session.sh"

template_dir=$1 provider=$2 accounts=()
shift 2
while [ $# -gt 0 ] && [ "$1" != -- ]; do accounts+=("$1"); shift; done
shift
ws_begin && ws_start_display && ws_make_prefix "$template_dir" || exit 1
[ "$provider" = - ] || ws_start_provider "$provider" "${accounts[@]}" || exit 1
# A crash ends the program through Wine's debugger, which prints a backtrace
# and may leave an exit code of 0: the backtrace itself marks the failure.
ws_run "$@" 2>&1 | tee "$WS_TMP/program.log"
code=${PIPESTATUS[0]}
if grep -qE '^(wine: Unhandled|Unhandled exception)' "$WS_TMP/program.log"; then
    echo "run-wine-test: the program crashed (backtrace above)"
    [ "$code" -ne 0 ] || code=1
fi
exit "$code"
