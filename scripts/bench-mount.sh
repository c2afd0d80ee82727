#!/usr/bin/env bash
# vantlo-mount beside vantlo-cli and beside rclone mount (of rclone's own
# WebDAV server holding as many files: the anchor), on a provider of its own
# with seeded folders of 1,000 and 10,000 files. Figures: cp of 256 MiB into
# the mount until stored (sync waits for the store) and out of it (every
# byte from the mailbox) beside vantlo-cli put/get, and rclone mount beside
# rclone copyto; ls -l of 1,000 files on a fresh mount, on loopback and
# through the slow-link relay (rclone behind a relay of its own); cp of
# 1 MiB into the folder of 10,000 files; the mount's peak memory while
# PEAK_MIB (default 1024) are copied in. Skipped without FUSE. Builds nothing.
# Usage: scripts/bench-mount.sh [NATIVE_BUILD_DIR]   (RUNS, VERBOSE, PEAK_MIB as bench.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-lib.sh"
mount_exe=$build/mount/vantlo-mount
peak_mib=${PEAK_MIB:-1024}
if [ ! -x "$mount_exe" ] || [ ! -w /dev/fuse ] || ! command -v fusermount3 >/dev/null; then
  echo "bench-mount: vantlo-mount or FUSE is missing here; no mount figures"
  exit 0
fi
need "$cli" "$provider" "$relay"
point=$work/mnt rpoint=$work/rmnt mcache=$work/mount-cache
mkdir -p "$point" "$rpoint" "$work/data"
# Under set -e a failing step would end the trap early: every step may fail.
trap 'fusermount3 -u "$point" 2>/dev/null || true; fusermount3 -u "$rpoint" 2>/dev/null || true; bench_cleanup; rm -rf "$work"' EXIT

"$provider" --listen 127.0.0.1:0 --data "$work/data" --seed-folder "bench-1k:1000" --seed-folder "bench-10k:10000" \
  > "$work/provider.out" 2>&1 &
spawned+=($!)
wait_line "$work/provider.out" '^listening on ' || { echo "bench-mount: the provider did not start" >&2; exit 1; }
at=$(sed -n '1s/^listening on //p' "$work/provider.out")
slow_link "${at##*:}"
far_at=127.0.0.1:$link_port
account=demo@163.example
export VANTLO_PASSWORD=vantlo-demo VANTLO_PROVIDER= VANTLO_CA_FILE= XDG_CACHE_HOME=$work/cache
mcli() { "$cli" --provider "$at" --account "$account" "$@"; }
up() {  # [provider address]: a fresh mount, its cache empty
  rm -rf "$mcache"
  "$mount_exe" -f --provider "${1:-$at}" --account "$account" --cache-dir "$mcache" "$point" 2> "$work/mount.err" &
  mount_pid=$!
  for _ in $(seq 400); do mountpoint -q "$point" && return 0; sleep 0.05; done
  echo "bench-mount: vantlo-mount did not come up" >&2; exit 1
}
down() {  # unmounted, and the mount's process gone (it holds the cache's lock)
  fusermount3 -u "$point"
  wait "$mount_pid" || true
}

# The anchor's tree: as many small files, and a folder to write into.
mkdir -p "$work/dav/bench" "$work/dav/bench-1k" "$work/dav/bench-10k"
(cd "$work/dav/bench-1k" && for i in $(seq 1000); do printf x > "f$i"; done)
(cd "$work/dav/bench-10k" && for i in $(seq 10000); do printf x > "f$i"; done)
rclone_dav "$work/dav"
dav_url=http://127.0.0.1:$dav_port
slow_link "$dav_port"
far_dav_url=http://127.0.0.1:$link_port

# --- 256 MiB in and out --------------------------------------------------------
file="$work/mount-256-MiB.bin"
make_file 256 "mount-256-MiB.bin"
up
mkdir "$point/bench"
down
folder_m=$(mcli folders | awk -F '\t' '$2 == "bench" { print $1 }')
put_m_cli() { ln -f "$file" "$work/m-cli-$1.bin"; mcli put "$work/m-cli-$1.bin" "$folder_m"; }
put_m_mount() { cp "$file" "$point/bench/m-mount-$1.bin" && sync "$point/bench/m-mount-$1.bin"; }
up
read -r ms_cli_put ms_mount_put < <(paired put_m_cli put_m_mount)
down
key=$(mcli ls "$folder_m" | awk -F '\t' '$1 == "m-cli-1.bin" { print $5 }')
get_m_cli() { mcli get "$key" "$work/m-back-cli-$1.bin"; }
# Each run reads a file this mount has not read yet (the puts left one per run).
get_m_mount() { cp "$point/bench/m-cli-$1.bin" "$work/m-back-mount-$1.bin"; }
up
read -r ms_cli_get ms_mount_get < <(paired get_m_cli get_m_mount)
cmp -s "$file" "$work/m-back-mount-1.bin" || { echo "bench-mount: the file read through the mount differs" >&2; exit 1; }
rm -f "$work"/m-back-* "$work"/m-cli-*
down

put_r_copyto() { rclone copyto "$file" ":webdav:bench/r-copyto-$1.bin" --webdav-url "$dav_url"; }
put_r_mount() { cp "$file" "$rpoint/bench/r-mount-$1.bin" && sync "$rpoint/bench/r-mount-$1.bin"; }
rclone_mount "$dav_url" "$rpoint"
read -r ms_r_copyto ms_r_mount < <(paired put_r_copyto put_r_mount)
cmp -s "$file" "$work/dav/bench/r-mount-1.bin" || { echo "bench-mount: rclone mount stored other bytes" >&2; exit 1; }
rm -f "$work"/dav/bench/r-* "$file"

# --- 1 MiB into a folder of 10,000 files (both mounts up, the folder listed once) ---
make_file 1 "one-mib.bin"
one_m_mount() { cp "$work/one-mib.bin" "$point/bench-10k/one-$1.bin" && sync "$point/bench-10k/one-$1.bin"; }
one_r_mount() { cp "$work/one-mib.bin" "$rpoint/bench-10k/one-$1.bin" && sync "$rpoint/bench-10k/one-$1.bin"; }
up
ls "$point/bench-10k" "$rpoint/bench-10k" > /dev/null
one_m_mount 0 && one_r_mount 0
read -r ms_one_mount ms_one_rclone < <(paired one_m_mount one_r_mount)
down
rclone_unmount "$rpoint"

# --- ls -l of 1,000 files on a fresh mount ---------------------------------------
ls_fresh() {  # [provider address]
  up "${1:-}"
  elapsed ls -l "$point/bench-1k"
  [ "$(ls "$point/bench-1k" | wc -l)" -eq 1000 ] || { echo "bench-mount: ls -l did not list 1,000 files" >&2; exit 1; }
  down
}
ls_rclone_fresh() {  # url
  rclone_mount "$1" "$rpoint"
  elapsed ls -l "$rpoint/bench-1k"
  rclone_unmount "$rpoint"
}
ms_ls_cold=$(for _ in $(seq "$runs"); do ls_fresh; done | median)
up
ls -l "$point/bench-1k" > /dev/null
ms_ls_cached=$(median_ms ls -l "$point/bench-1k")
down
ms_ls_far=$(for _ in $(seq "$runs"); do ls_fresh "$far_at"; done | median)
ms_ls_rclone=$(for _ in $(seq "$runs"); do ls_rclone_fresh "$dav_url"; done | median)
ms_ls_rclone_far=$(for _ in $(seq "$runs"); do ls_rclone_fresh "$far_dav_url"; done | median)

# --- peak memory of a mount while PEAK_MIB are copied in --------------------------
make_file "$peak_mib" "peak.bin"
up
cp "$work/peak.bin" "$point/bench/peak.bin" && sync "$point/bench/peak.bin"
kib_mount=$(hwm_kib "$mount_pid")
down
rclone_mount "$dav_url" "$rpoint"
cp "$work/peak.bin" "$rpoint/bench/peak.bin" && sync "$rpoint/bench/peak.bin"
kib_rclone=$(hwm_kib "$rclone_mount_pid")
rclone_unmount "$rpoint"
rm -f "$work/peak.bin" "$work/dav/bench/peak.bin"

bytes=$(( 256 * 1048576 ))
row() { printf '%-36s %16s %16s %10s %16s\n' "$@"; }
echo
echo "vantlo-mount beside vantlo-cli ($at) and rclone mount of a local WebDAV remote, median of $runs runs"
row "figure" "mount" "vantlo-cli" "mount/cli" "rclone anchor"
row "cp in / put 256 MiB (MiB/s, ms)" "$(rate $bytes "$ms_mount_put") ($ms_mount_put)" \
  "$(rate $bytes "$ms_cli_put") ($ms_cli_put)" "$(ratio "$ms_mount_put" "$ms_cli_put")" \
  "$(ratio "$ms_r_mount" "$ms_r_copyto") mount/copyto"
row "cp out / get 256 MiB (MiB/s, ms)" "$(rate $bytes "$ms_mount_get") ($ms_mount_get)" \
  "$(rate $bytes "$ms_cli_get") ($ms_cli_get)" "$(ratio "$ms_mount_get" "$ms_cli_get")" ""
row "cp 1 MiB into 10,000 files (ms)" "$ms_one_mount" "" "" "$ms_one_rclone"
row "ls -l of 1,000 files, fresh (ms)" "$ms_ls_cold" "" "" "$ms_ls_rclone"
row "  the same, cached (ms)" "$ms_ls_cached" "" "" ""
row "  fresh, through the relay (ms)" "$ms_ls_far" "" "" "$ms_ls_rclone_far"
row "peak memory, cp in $peak_mib MiB (MiB)" "$(mib "$kib_mount")" "" "" "$(mib "$kib_rclone")"
echo "targets: mount at least 0.8x vantlo-cli; ls -l under 2000 ms fresh, under 200 ms cached;"
echo "1 MiB into a folder of 10,000 files under 100 ms plus its transfer"
