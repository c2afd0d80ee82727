#!/usr/bin/env bash
# Listing benchmark: `vantlo-cli ls` of folders of stored files (2,000 and
# 10,000 by default) with an empty manifest cache (the session kept) and
# again warm, through the slow-link relay (20 ms each way, 4 MiB/s per
# connection) and on loopback, beside `rclone lsl` of a local WebDAV remote
# holding as many files (rclone's own server), behind a relay of its own and
# on loopback: the anchors. Prints median milliseconds and the requests the
# provider saw per cold listing through the relay. Builds nothing.
#
# Usage: scripts/bench-listing.sh [NATIVE_BUILD_DIR]   (default: build/native)
#        RUNS=5 FILES="2000 10000" scripts/bench-listing.sh ...
#        ANCHOR=0 scripts/bench-listing.sh ...   (without the rclone anchors)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-lib.sh"
sizes=${FILES:-2000 10000}
need "$cli" "$provider" "$relay"

mkdir "$work/data"
seeds=()
for files in $sizes; do seeds+=(--seed-folder "listing-$files:$files"); done
"$provider" --listen 127.0.0.1:0 --data "$work/data" --log "$work/provider.log" "${seeds[@]}" > "$work/provider.out" 2>&1 &
spawned+=($!)
wait_line "$work/provider.out" '^listening on ' || { echo "bench-listing: the provider did not start" >&2; exit 1; }
port=$(sed -n '1s/^listening on 127.0.0.1://p' "$work/provider.out")
slow_link "$port"
relay_port=$link_port

export VANTLO_PASSWORD=vantlo-demo VANTLO_PROVIDER= VANTLO_CA_FILE= XDG_CACHE_HOME=$work/cache
account=demo@163.example
far() { "$cli" --provider "127.0.0.1:$relay_port" --account "$account" "$@"; }
near() { "$cli" --provider "127.0.0.1:$port" --account "$account" "$@"; }
requests() { grep -c ' head POST ' "$work/provider.log" || true; }
cold() {  # the session stays cached; the manifest cache goes
  find "$work/cache" -name '*manifest*' -delete 2>/dev/null || true
  "$@"
}

echo
echo "vantlo-cli ls beside rclone lsl of a local WebDAV remote, median of $runs runs (cold: no manifest cache)"
printf '%-34s %10s %10s %14s %10s\n' "ls of" "cold ms" "warm ms" "rclone lsl ms" "requests"
for files in $sizes; do
  folder=$(far folders | awk -F '\t' -v n="listing-$files" '$2 == n { print $1 }')
  listed=$(far ls "$folder" | wc -l)
  [ "$listed" -eq "$files" ] || { echo "bench-listing: ls listed $listed of $files files" >&2; exit 1; }
  before=$(requests)
  ms_cold=$(median_ms cold far ls "$folder")
  per_listing=$(( ($(requests) - before) / runs ))
  ms_warm=$(median_ms far ls "$folder")
  ms_near_cold=$(median_ms cold near ls "$folder")
  ms_near_warm=$(median_ms near ls "$folder")

  # The anchors: rclone listing as many small files from its own WebDAV
  # server, behind a relay like the provider's and on loopback.
  anchor="(rclone missing)" near_anchor="(rclone missing)"
  if [ "${ANCHOR:-1}" = 0 ]; then
    anchor="(not run)" near_anchor="(not run)"
  elif command -v rclone >/dev/null; then
    mkdir -p "$work/dav-$files"
    (cd "$work/dav-$files" && for i in $(seq "$files"); do printf x > "f$i"; done)
    rclone_dav "$work/dav-$files"
    slow_link "$dav_port"
    anchor=$(median_ms rclone lsl --webdav-url "http://127.0.0.1:$link_port" :webdav:)
    near_anchor=$(median_ms rclone lsl --webdav-url "http://127.0.0.1:$dav_port" :webdav:)
  fi
  printf '%-34s %10s %10s %14s %10s\n' "$files files, through the relay" "$ms_cold" "$ms_warm" "$anchor" "$per_listing"
  printf '%-34s %10s %10s %14s\n' "$files files, loopback" "$ms_near_cold" "$ms_near_warm" "$near_anchor"
done
# The client's own processor time for one cold listing of the last folder.
find "$work/cache" -name '*manifest*' -delete 2>/dev/null || true
cpu=$( { /usr/bin/time -f '%U %S' "$cli" --provider "127.0.0.1:$relay_port" --account "$account" ls "$folder" \
         > /dev/null; } 2>&1 | awk 'END { printf "%d", ($1 + $2) * 1000 }')
echo "client CPU of a cold ls of $files files: $cpu ms; load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "target: 10,000 files through the relay under 3000 ms cold"
