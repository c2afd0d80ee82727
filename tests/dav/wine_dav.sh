#!/usr/bin/env bash
# Runs the Windows build of vantlo-dav under wine64 in a fresh prefix of its
# own; ends it, its wineserver and the prefix when told to stop.
# Usage: wine_dav.sh VANTLO_DAV_EXE [ARGS...]
set -u
exe=$1; shift
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
wine "$exe" "$@" &
child=$!
stop() {
  kill "$child" 2>/dev/null
  wineserver -k 2>/dev/null
  wait "$child" 2>/dev/null
  rm -rf "$WINEPREFIX"
  exit 0
}
trap stop TERM INT
wait "$child"
stop
