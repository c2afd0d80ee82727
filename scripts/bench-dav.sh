#!/usr/bin/env bash
# vantlo-dav beside vantlo-cli against the same local vantlo-provider:
# GET of a 256 MiB file (cold: the server's cache is empty) beside
# `vantlo-cli get`, PUT beside `vantlo-cli put`, and PROPFIND Depth 1 of a
# folder of 1,000 stored files, warm. Prints the figures; loopback only.
# Usage: scripts/bench-dav.sh [BUILD_DIR]   (default build/native)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-lib.sh"
dav=$build/dav/vantlo-dav
need "$cli" "$provider" "$dav" "$(command -v curl)"

mkdir "$work/data"
"$provider" --listen 127.0.0.1:0 --data "$work/data" --attachment-limit 2147483647 \
  --seed-folder "dav-seed:1000" >"$work/provider.out" 2>&1 &
spawned+=($!)
wait_line "$work/provider.out" '^listening on ' || { echo "bench-dav: the provider did not start" >&2; exit 1; }
address=$(sed -n '1s/^listening on //p' "$work/provider.out")
account=demo@163.example
export VANTLO_PASSWORD=vantlo-demo VANTLO_PROVIDER= VANTLO_CA_FILE= XDG_CACHE_HOME=$work/cache
vantlo() { "$cli" --provider "$address" --account "$account" "$@"; }

"$dav" --account "$account" --provider "$address" --cache-dir "$work/dav-cache" >"$work/url" 2>"$work/dav.err" &
spawned+=($!)
for _ in $(seq 100); do grep -q '^http://' "$work/url" 2>/dev/null && break; sleep 0.1; done
url=$(head -1 "$work/url")
[ -n "$url" ] || { cat "$work/dav.err" >&2; exit 1; }

# PROPFIND Depth 1 of 1,000 files, after one reading has filled the caches;
# measured again later while the server stores the PUT's 256 MiB.
# Timed by curl itself: starting a curl process can take longer than the
# answer on a loaded machine.
propfind() {
  curl -sf -X PROPFIND -H 'Depth: 1' "${url}dav-seed/" -o "$work/listing.xml" -w '%{time_total}' |
    awk '{ printf "%d\n", $1 * 1000 }'
}
propfind_median() {
  local runs=()
  for _ in 1 2 3 4 5; do runs+=("$(propfind)"); done
  printf '%s\n' "${runs[@]}" | median
}
propfind >/dev/null
ms_propfind=$(propfind_median)
members=$(grep -o '<D:response>' "$work/listing.xml" | wc -l)

bytes=$((256 * 1048576))
head -c $bytes /dev/urandom >"$work/file.bin"
# Made through the server, which keeps the folder list it read for a while.
curl -sf -X MKCOL "${url}BenchDav/" -o /dev/null
folder=/BenchDav

# put: vantlo-cli stores every byte before it returns; the server answers
# once the bytes are in its journal (the store follows in the background).
start=$(now_ms); id=$(vantlo put "$work/file.bin" "$folder"); ms_cli_put=$(( $(now_ms) - start ))
start=$(now_ms)
curl -sf -T "$work/file.bin" "${url}BenchDav/dav.bin" -o /dev/null
ms_dav_put=$(( $(now_ms) - start ))
ms_propfind_busy=$(propfind_median)

# get: the file vantlo-cli stored, read by both; the server's cache is cold.
start=$(now_ms); vantlo get "$id" "$work/back-cli.bin" >/dev/null; ms_cli_get=$(( $(now_ms) - start ))
start=$(now_ms); curl -sf "${url}BenchDav/file.bin" -o "$work/back-dav.bin"; ms_dav_get=$(( $(now_ms) - start ))
cmp -s "$work/file.bin" "$work/back-dav.bin" || { echo "bench-dav: GET returned other bytes" >&2; exit 1; }
rm -f "$work/back-cli.bin" "$work/back-dav.bin"


echo
echo "vantlo-dav beside vantlo-cli, same provider ($address)"
printf '%-40s %12s %12s\n' "figure" "ms" "MiB/s"
printf '%-40s %12s %12s\n' "vantlo-cli put 256 MiB" "$ms_cli_put" "$(rate $bytes "$ms_cli_put")"
printf '%-40s %12s %12s\n' "PUT 256 MiB (answered when journalled)" "$ms_dav_put" "$(rate $bytes "$ms_dav_put")"
printf '%-40s %12s %12s\n' "vantlo-cli get 256 MiB" "$ms_cli_get" "$(rate $bytes "$ms_cli_get")"
printf '%-40s %12s %12s\n' "GET 256 MiB (cold)" "$ms_dav_get" "$(rate $bytes "$ms_dav_get")"
printf '%-40s %12s\n' "GET speed / vantlo-cli get speed" \
  "$(awk -v a="$ms_cli_get" -v b="$ms_dav_get" 'BEGIN { printf "%.2f", a / b }')"
printf '%-40s %12s\n' "PROPFIND Depth 1, $((members - 1)) files, warm" "$ms_propfind"
printf '%-40s %12s\n' "  the same while 256 MiB are stored" "$ms_propfind_busy"
echo "targets: GET at least 0.8x vantlo-cli get; PROPFIND of 1,000 files under 200 ms"
