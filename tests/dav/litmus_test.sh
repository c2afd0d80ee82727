#!/usr/bin/env bash
# Runs the litmus WebDAV suites against vantlo-dav over its in-memory tree.
# Usage: litmus_test.sh VANTLO_DAV [SUITE...]; exits 77 (skipped) without litmus.
set -euo pipefail
dav=$1; shift
suites=("$@")
[ ${#suites[@]} -gt 0 ] || suites=(basic copymove props locks http)
command -v litmus >/dev/null || { echo "litmus is not installed"; exit 77; }
work=$(mktemp -d)
"$dav" --memory >"$work/url" 2>"$work/err" &
pid=$!
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/url" ] && break; sleep 0.1; done
url=$(head -1 "$work/url")
[ -n "$url" ] || { cat "$work/err"; exit 1; }
cd "$work"
export TESTS="${suites[*]}"
timeout 300 litmus "$url" | tee "$work/out" | grep -E "summary|FAIL|WARNING" || true
failed=$(grep -c "FAIL" "$work/out" || true)
runs=$(grep -c "^<- summary" "$work/out" || true)
[ "$runs" -eq ${#suites[@]} ] && [ "$failed" -eq 0 ]
