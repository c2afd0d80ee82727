#!/usr/bin/env bash
# Listing benchmark: `vantlo-cli ls` of a folder of 10,000 stored files with
# an empty manifest cache, through the slow-link relay (20 ms each way,
# 4 MiB/s per connection), beside rclone listing the same number of files
# from a local WebDAV remote (its anchor). Prints the median milliseconds
# and the requests the provider saw per listing. Builds nothing.
#
# Usage: scripts/bench-listing.sh [NATIVE_BUILD_DIR]   (default: build/native)
#        RUNS=5 FILES=2000 scripts/bench-listing.sh ...
#        ANCHOR=0 scripts/bench-listing.sh ...   (without the rclone anchor)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
cli=$build/cli/vantlo-cli
provider=$build/provider/vantlo-provider
relay=$build/tests/support/vantlo-slow-link
runs=${RUNS:-3}
files=${FILES:-10000}
for program in "$cli" "$provider" "$relay"; do
  [ -x "$program" ] || { echo "bench-listing: $program is missing (build the native tree first)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vantlo-bench-listing.XXXXXX")
provider_pid=
relay_pid=
dav_pid=
cleanup() {
  local pid
  for pid in $dav_pid $relay_pid $provider_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/data"
"$provider" --listen 127.0.0.1:0 --data "$work/data" --log "$work/provider.log" \
  --seed-folder "listing:$files" > "$work/provider.out" 2>&1 &
provider_pid=$!
for _ in $(seq 1200); do grep -q '^listening on ' "$work/provider.out" 2>/dev/null && break; sleep 0.05; done
port=$(sed -n '1s/^listening on 127.0.0.1://p' "$work/provider.out")
[ -n "$port" ] || { echo "bench-listing: the provider did not start" >&2; exit 1; }
coproc RELAY { "$relay" "$port" 20 $(( 4 * 1048576 )) 3600; }
relay_pid=$RELAY_PID
read -r _ relay_port <&"${RELAY[0]}"

export VANTLO_PASSWORD=vantlo-demo VANTLO_PROVIDER= VANTLO_CA_FILE= XDG_CACHE_HOME=$work/cache
account=demo@163.example
far() { "$build/cli/vantlo-cli" --provider "127.0.0.1:$relay_port" --account "$account" "$@"; }
folder=$(far folders | awk -F '\t' '$2 == "listing" { print $1 }')

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
elapsed() {  # command... -> milliseconds
  local start end
  start=$(date +%s%N)
  "$@" > /dev/null
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}
requests() { grep -c ' head POST ' "$work/provider.log" || true; }

cold_ls() {  # the session stays cached; the manifest cache goes
  find "$work/cache" -name '*manifest*' -delete 2>/dev/null || true
  elapsed far ls "$folder"
}
listed=$(far ls "$folder" | wc -l)
[ "$listed" -eq "$files" ] || { echo "bench-listing: ls listed $listed of $files files" >&2; exit 1; }
before=$(requests)
ms_cold=$(for _ in $(seq "$runs"); do cold_ls; done | median)
per_listing=$(( ($(requests) - before) / runs ))
ms_warm=$(for _ in $(seq "$runs"); do elapsed far ls "$folder"; done | median)
# The client's own processor time for one cold listing.
find "$work/cache" -name '*manifest*' -delete 2>/dev/null || true
cpu=$( { /usr/bin/time -f '%U %S' "$cli" --provider "127.0.0.1:$relay_port" --account "$account" ls "$folder" \
         > /dev/null; } 2>&1 | awk 'END { printf "%d", ($1 + $2) * 1000 }')

# The anchor: rclone listing as many small files from a local WebDAV remote
# (rclone's own server on loopback), when rclone is installed.
anchor="(rclone missing)"
if [ "${ANCHOR:-1}" = 0 ]; then
  anchor="(not run)"
elif command -v rclone >/dev/null; then
  mkdir -p "$work/dav"
  for i in $(seq "$files"); do printf x > "$work/dav/f$i"; done
  dav_port=$(( 20000 + RANDOM % 20000 ))
  rclone serve webdav "$work/dav" --addr "127.0.0.1:$dav_port" > "$work/dav.out" 2>&1 &
  dav_pid=$!
  for _ in $(seq 200); do
    curl -s -o /dev/null "http://127.0.0.1:$dav_port/" && break
    sleep 0.05
  done
  anchor=$(for _ in $(seq "$runs"); do
    elapsed rclone lsl --webdav-url "http://127.0.0.1:$dav_port" :webdav:
  done | median)
fi

printf '%-46s %12s %12s %14s\n' "ls of $files files through the relay" "cold ms" "warm ms" "rclone lsl ms"
printf '%-46s %12s %12s %14s\n' "" "$ms_cold" "$ms_warm" "$anchor"
echo "requests per cold ls: $per_listing; client CPU of a cold ls: $cpu ms; load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "target: under 3000 ms cold"
