# shellcheck shell=bash
# Helpers the bench scripts share (sourced, not run, once root is set; the
# script's own first argument is the native build directory, default
# build/native): the build's programs, RUNS, a temporary directory `work`
# removed at exit, timing, medians, rates, the slow-link relay in front of
# a port, rclone's WebDAV server of a local directory and rclone mount of
# it (the anchors). A script with more to undo at exit sets its own trap,
# which calls bench_cleanup and removes $work.

bench_name=$(basename "$0" .sh)
build=$(cd "${1:-$root/build/native}" && pwd)
cli=$build/cli/vantlo-cli
provider=$build/provider/vantlo-provider
relay=$build/tests/support/vantlo-slow-link
runs=${RUNS:-3}

# Ends the script unless every program given is there.
need() {
  local program
  for program in "$@"; do
    [ -x "$program" ] || { echo "$bench_name: $program is missing (build the native tree first)" >&2; exit 2; }
  done
}

spawned=()  # processes to end when the script ends
bench_cleanup() {
  local pid
  for pid in "${spawned[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
}
work=$(mktemp -d "${TMPDIR:-/tmp}/vantlo-$bench_name.XXXXXX")
trap 'bench_cleanup; rm -rf "$work"' EXIT

# rclone with no configuration file of its own (and no notice about it).
: > "$work/rclone.conf"
export RCLONE_CONFIG=$work/rclone.conf

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Milliseconds of one command, dirty pages written out first so that one
# side does not pay for the other's writes.
elapsed() {
  local start end
  sync
  start=$(now_ms)
  "$@" >/dev/null
  end=$(now_ms)
  echo $(( end - start ))
}

# The median milliseconds of RUNS runs of one command.
median_ms() {
  local i
  for i in $(seq "$runs"); do elapsed "$@"; done | median
}

# The mean milliseconds of one run of a quick command, from 50 in a row:
# one run is too short beside the clock's own fork.
per_run_ms() {
  local start end _
  start=$(date +%s%N)
  for _ in $(seq 50); do "$@" >/dev/null; done
  end=$(date +%s%N)
  awk -v ns=$(( end - start )) 'BEGIN { printf "%.1f", ns / 50 / 1e6 }'
}

rate() {  # bytes, milliseconds -> MiB/s
  awk -v b="$1" -v ms="$2" 'BEGIN { if (ms < 1) ms = 1; printf "%.1f", b / 1048576 / (ms / 1000) }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a < 1) a = 1; printf "%.2f", b / a }'; }  # ms A, ms B -> speed of A / B
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }  # KiB -> MiB

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

wait_line() {  # file, pattern: waits up to a minute for a line
  local _
  for _ in $(seq 1200); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.05; done
  return 1
}

# The slow-link relay (20 ms each way, 4 MiB/s per connection) in front of
# a local port; sets link_port. Its standard input is a pipe this script
# holds open, so it ends with the script.
link_delay_ms=20
link_cap=$(( 4 * 1048576 ))
slow_link() {  # upstream port
  local fd
  mkfifo "$work/link-$1.in"
  "$relay" "$1" "$link_delay_ms" "$link_cap" 3600 < "$work/link-$1.in" > "$work/link-$1.out" &
  spawned+=($!)
  exec {fd}> "$work/link-$1.in"
  wait_line "$work/link-$1.out" '^port ' || { echo "bench: the relay did not start" >&2; exit 1; }
  link_port=$(sed -n 's/^port //p' "$work/link-$1.out")
}

# rclone serving a local directory over WebDAV on loopback; sets dav_port.
rclone_dav() {  # directory
  dav_port=$(free_port)
  rclone serve webdav "$1" --addr "127.0.0.1:$dav_port" > "$work/rclone-dav-$dav_port.out" 2>&1 &
  spawned+=($!)
  local _
  for _ in $(seq 200); do curl -s -o /dev/null "http://127.0.0.1:$dav_port/" && return 0; sleep 0.05; done
  echo "bench: rclone serve webdav did not start" >&2; exit 1
}

# rclone mount of a WebDAV URL (no file cache: writes go straight to the
# server); sets rclone_mount_pid. rclone_unmount waits for the process.
rclone_mount() {  # url, mount point
  rclone mount :webdav: "$2" --webdav-url "$1" > "$work/rclone-mount.out" 2>&1 &
  rclone_mount_pid=$!
  local _
  for _ in $(seq 400); do mountpoint -q "$2" && return 0; sleep 0.05; done
  echo "bench: rclone mount did not come up" >&2; exit 1
}
rclone_unmount() {  # mount point
  fusermount3 -u "$1" 2>/dev/null || fusermount -u "$1"
  wait "$rclone_mount_pid" 2>/dev/null || true
}

# Peak resident memory (KiB) of a running process so far.
hwm_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

# Runs two commands RUNS times each, taking turns at going first, and
# prints the median milliseconds of each: "A B". Each gets the run's number.
paired() {  # command A (a function), command B (a function)
  local i a=() b=()
  for i in $(seq "$runs"); do
    if [ $(( i % 2 )) -eq 1 ]; then
      a+=("$(elapsed "$1" "$i")"); b+=("$(elapsed "$2" "$i")")
    else
      b+=("$(elapsed "$2" "$i")"); a+=("$(elapsed "$1" "$i")")
    fi
  done
  [ -z "${VERBOSE:-}" ] || echo "$1: ${a[*]} ms; $2: ${b[*]} ms" >&2
  echo "$(printf '%s\n' "${a[@]}" | median) $(printf '%s\n' "${b[@]}" | median)"
}

# Peak resident memory (KiB) of one command.
# The CPU seconds (user + system) of a command, and those a running
# process (the provider it talks to) spent meanwhile: "client server".
cpu_pair() {  # pid, command...
  local before after
  before=$(awk '{ print $14 + $15 }' "/proc/$1/stat")
  /usr/bin/time -f '%U %S' -o "$work/cpu" "${@:2}" >/dev/null
  after=$(awk '{ print $14 + $15 }' "/proc/$1/stat")
  awk -v ticks=$(( after - before )) -v hz="$(getconf CLK_TCK)" '{ printf "%.2f %.2f\n", $1 + $2, ticks / hz }' "$work/cpu"
}

peak_kib() {
  /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null
  cat "$work/rss"
}

make_file() {  # size in MiB, name
  head -c $(( $1 * 1048576 )) /dev/urandom > "$work/$2"
}
