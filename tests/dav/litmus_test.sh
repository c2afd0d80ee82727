#!/usr/bin/env bash
# Runs litmus's WebDAV suites against vantlo-dav: over its in-memory tree,
# or with --provider over the mailbox of a fresh vantlo-provider. Every test
# must pass but those named with --allow (as NUMBER.name of litmus's list).
# Prints each suite's summary; exits 77 (skipped) without litmus.
# With --wine, VANTLO_DAV is the Windows build, run under wine64.
# Usage: litmus_test.sh VANTLO_DAV [--wine] [--provider VANTLO_PROVIDER] [--allow "9.name ..."] [SUITE...]
set -euo pipefail
dav=$1; shift
run=("$dav")
provider= allowed=
suites=()
while [ $# -gt 0 ]; do
  case $1 in
    --wine) run=("$(dirname "$0")/wine_dav.sh" "$dav"); shift ;;
    --provider) provider=$2; shift 2 ;;
    --allow) allowed=$2; shift 2 ;;
    *) suites+=("$1"); shift ;;
  esac
done
[ ${#suites[@]} -gt 0 ] || suites=(basic copymove props locks http)
command -v litmus >/dev/null || { echo "litmus is not installed"; exit 77; }
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
wait_for() {  # file, pattern; wine takes a while to make a fresh prefix
  for _ in $(seq 1800); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

args=(--memory)
if [ -n "$provider" ]; then
  mkdir "$work/data"
  "$provider" --listen 127.0.0.1:0 --data "$work/data" >"$work/provider.out" 2>&1 &
  pids+=($!)
  wait_for "$work/provider.out" '^listening on ' || { cat "$work/provider.out"; exit 1; }
  address=$(sed -n '1s/^listening on //p' "$work/provider.out")
  args=(--account demo@163.example --provider "$address" --cache-dir "$work/cache")
  export VANTLO_PASSWORD=vantlo-demo
fi
"${run[@]}" "${args[@]}" >"$work/url" 2>"$work/err" &
pids=("$!" "${pids[@]}")
wait_for "$work/url" '^http://' || { cat "$work/err"; exit 1; }
url=$(head -1 "$work/url" | tr -d '\r')
cd "$work"

unexpected=0
for suite in "${suites[@]}"; do
  # A suite that stopped half-way leaves its collection behind.
  curl -s -o /dev/null -X DELETE "${url}litmus/" || true
  TESTS=$suite timeout 300 litmus "$url" >"$work/out" 2>&1 || true
  grep -a '^<- summary' "$work/out" || { echo "$suite: no summary"; unexpected=1; }
  # Every failure must be read as NUMBER.name, or none could be told apart.
  fails=$(tr '\r' '\n' <"$work/out" | grep -ac 'FAIL' || true)
  ids=$(tr '\r' '\n' <"$work/out" | grep -a 'FAIL' | LC_ALL=C grep -cE '^ *[0-9]+\. [a-z0-9_]+' || true)
  [ "$fails" = "$ids" ] || { echo "  $suite: a failure could not be read"; unexpected=1; }
  while read -r id; do
    if [[ " $allowed " == *" $id "* ]]; then
      echo "  $suite $id: fails, as expected here"
    else
      echo "  $suite $id: FAILS"
      # What litmus said about it, and what the server logged meanwhile.
      tr '\r' '\n' <"$work/out" | grep -a -A6 "${id#*.}" | head -20
      tail -5 "$work/err"
      unexpected=1
    fi
  done < <(tr '\r' '\n' <"$work/out" | grep -a 'FAIL' | LC_ALL=C sed -nE 's/^ *([0-9]+)\. ([a-z0-9_]+).*/\1.\2/p')
done
[ -z "${LITMUS_KEEP:-}" ] || cp "$work/out" "$LITMUS_KEEP"
exit $unexpected
