#!/usr/bin/env bash
# vantlo-cli with its provider far away: the slow-link relay (20 ms each
# way, 4 MiB/s per connection) in front of a provider of its own. Figures:
# a 200 MiB file in 25 MiB parts put and fetched with --transfers 4 and 8
# (one run each) beside the ideal time and beside curl fetching it as one
# mail over one connection; 100 `ls` in a row after a signout (sign-ins
# counted in the provider's log) beside 100 `rclone lsf` of a local WebDAV
# remote behind a relay of its own, and `--help` beside `rclone --help`;
# the requests, searches and connections of a put of 8 parts; `ls` of 1,000
# files with an empty manifest cache; the same two over TLS, with one CA file
# and with the system's roots. Medians of RUNS. Builds nothing.
# Usage: scripts/bench-far.sh [NATIVE_BUILD_DIR]   (RUNS as bench.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-lib.sh"
. "$root/scripts/bench-curl.sh"
need "$cli" "$provider" "$relay"
account=demo@163.example
export VANTLO_PASSWORD=vantlo-demo VANTLO_PROVIDER= VANTLO_CA_FILE= XDG_CACHE_HOME=$work/cache

mkdir "$work/far-data"
"$provider" --listen 127.0.0.1:0 --data "$work/far-data" --log "$work/far.log" --attachment-limit 2147483647 \
  --seed-folder "far-1k:1000" > "$work/far-provider.out" 2>&1 &
spawned+=($!)
wait_line "$work/far-provider.out" '^listening on ' || { echo "bench-far: the provider did not start" >&2; exit 1; }
address=$(sed -n '1s/^listening on //p' "$work/far-provider.out")
slow_link "${address##*:}"
relay_port=$link_port
far() { "$cli" --provider "127.0.0.1:$relay_port" --account "$account" "$@"; }
near() { "$cli" --provider "$address" --account "$account" "$@"; }
far_folder=$(far mkdir Far)

# --- 200 MiB ----------------------------------------------------------------------
file="$work/far-200-MiB.bin"
make_file 200 "far-200-MiB.bin"
bytes=$(( 200 * 1048576 ))
ideal() {  # transfers -> ms at the cap per connection
  awk -v b="$bytes" -v n="$1" -v c="$link_cap" 'BEGIN { printf "%d", b / (n * c) * 1000 }'
}
# The anchor: the file as one mail (stored past the relay), fetched by curl
# through it, one connection.
ln -f "$file" "$work/far-one.bin"
one_id=$(near put --part-size 1G "$work/far-one.bin" "$far_folder")
far_curl_get() { local curl_base=http://127.0.0.1:$relay_port; curl_get "$one_id" "$work/far-back-curl.bin"; }
ms_curl=$(elapsed far_curl_get)
cmp -s "$file" "$work/far-back-curl.bin" || { echo "bench-far: curl fetched other bytes" >&2; exit 1; }
rm -f "$work/far-back-curl.bin"
row() { printf '%-36s %16s %12s %10s %12s\n' "$@"; }
far_rows=()
for n in 4 8; do
  ln -f "$file" "$work/far-$n.bin"
  ms_put=$(elapsed far put --part-size 25M --transfers "$n" "$work/far-$n.bin" "$far_folder")
  far_id=$(far put --part-size 25M "$work/far-$n.bin" "$far_folder" 2>/dev/null)  # already stored: prints its key
  ms_get=$(elapsed far get --transfers "$n" "$far_id" "$work/far-back-$n.bin")
  cmp -s "$file" "$work/far-back-$n.bin" || { echo "bench-far: the file came back other than stored" >&2; exit 1; }
  rm -f "$work/far-back-$n.bin"
  far_rows+=("$(row "put 200 MiB, --transfers $n" "$(rate $bytes "$ms_put") ($ms_put)" "$(ideal "$n")" \
    "$(ratio "$ms_put" "$(ideal "$n")")" "$(ratio "$ms_put" "$ms_curl")")")
  far_rows+=("$(row "get 200 MiB, --transfers $n" "$(rate $bytes "$ms_get") ($ms_get)" "$(ideal "$n")" \
    "$(ratio "$ms_get" "$(ideal "$n")")" "$(ratio "$ms_get" "$ms_curl")")")
done
rm -f "$file" "$work"/far-*.bin

# --- many commands ---------------------------------------------------------------------
far signout
signins_before=$(grep -c ' head POST /logins.jsp' "$work/far.log")
start=$(now_ms)
for _ in $(seq 100); do far ls "$far_folder" > /dev/null; done
ms_hundred=$(( $(now_ms) - start ))
signins=$(( $(grep -c ' head POST /logins.jsp' "$work/far.log") - signins_before ))
ms_help=$(per_run_ms "$cli" --help)
ms_hundred_rclone="(rclone missing)" ms_help_rclone="(rclone missing)"
if command -v rclone >/dev/null; then
  mkdir -p "$work/dav/Far"
  printf x > "$work/dav/Far/one"
  rclone_dav "$work/dav"
  slow_link "$dav_port"
  start=$(now_ms)
  for _ in $(seq 100); do rclone lsf --webdav-url "http://127.0.0.1:$link_port" :webdav:Far > /dev/null; done
  ms_hundred_rclone=$(( $(now_ms) - start ))
  ms_help_rclone=$(per_run_ms rclone --help)
fi

# --- a put of 8 parts of 1 MiB: requests, searches and connections from the log ----------
logged() { grep -c "$1" "$work/far.log" || true; }
head -c $(( 8 * 1048576 )) /dev/urandom > "$work/far-8.bin"
put_figures=$(for i in $(seq "$runs"); do
  ln -f "$work/far-8.bin" "$work/far-8-$i.bin"
  h=$(logged ' head ') s=$(logged 'func=mbox:searchMessages') o=$(logged ' open ')
  ms=$(elapsed far put --part-size 1M "$work/far-8-$i.bin" "$far_folder")
  echo "$ms $(( $(logged ' head ') - h )) $(( $(logged 'func=mbox:searchMessages') - s )) $(( $(logged ' open ') - o ))"
done | sort -n | awk '{ v[NR] = $0 } END { print v[int((NR + 1) / 2)] }')
read -r ms_put_8 put_requests put_searches put_connections <<<"$put_figures"
rm -f "$work"/far-8-*.bin
cold() {  # the session stays cached; the manifest cache goes
  find "$work/cache" -name '*manifest*' -delete 2>/dev/null || true
  "$@"
}
far_1k=$(far folders | awk -F '\t' '$2 == "far-1k" { print $1 }')
far ls "$far_1k" > /dev/null
ms_cold_1k=$(median_ms cold far ls "$far_1k")

# --- the same two over TLS, where every new connection costs its handshake's round trips:
# a provider of its own behind a relay of its own, told to name the relay's
# port as the webmail host's (the relay cannot rewrite it in TLS).
tls_port=$(free_port)
slow_link "$tls_port"
tls_relay_port=$link_port
mkdir "$work/tls-far-data"
"$provider" --listen "127.0.0.1:$tls_port" --public-port "$tls_relay_port" --tls --data "$work/tls-far-data" \
  --log "$work/tls-far.log" --seed-folder "far-1k:1000" > "$work/tls-far-provider.out" 2>&1 &
spawned+=($!)
wait_line "$work/tls-far-provider.out" '^ca-file ' || { echo "bench-far: the TLS provider did not start" >&2; exit 1; }
tls_ca=$(sed -n 's/^ca-file //p' "$work/tls-far-provider.out")
tls_far() { VANTLO_CA_FILE=$tls_ca "$cli" --provider "https://127.0.0.1:$tls_relay_port" --account "$account" "$@"; }
# Trusting the system's roots: no CA file, OpenSSL's default store, which
# SSL_CERT_FILE points at the system's bundle with the test CA added.
cat /etc/ssl/certs/ca-certificates.crt "$tls_ca" > "$work/roots.pem"
roots_far() { SSL_CERT_FILE=$work/roots.pem "$cli" --provider "https://127.0.0.1:$tls_relay_port" --account "$account" "$@"; }
tls_folder=$(tls_far mkdir Far)
ms_tls_put_8=$(for i in $(seq "$runs"); do
  ln -f "$work/far-8.bin" "$work/far-8-tls-$i.bin"
  elapsed tls_far put --part-size 1M "$work/far-8-tls-$i.bin" "$tls_folder"
done | median)
rm -f "$work"/far-8*.bin
tls_1k=$(tls_far folders | awk -F '\t' '$2 == "far-1k" { print $1 }')
tls_far ls "$tls_1k" > /dev/null
ms_tls_cold_1k=$(median_ms cold tls_far ls "$tls_1k")
roots_far ls "$tls_1k" > /dev/null
ms_roots_cold_1k=$(median_ms cold roots_far ls "$tls_1k")

echo
echo "vantlo-cli through a slow link ($link_delay_ms ms each way, $(( link_cap / 1048576 )) MiB/s per connection)," \
  "200 MiB one run, the rest median of $runs"
row "figure" "MiB/s (ms)" "ideal ms" "ideal/took" "curl/took"
printf '%s\n' "${far_rows[@]}"
row "curl get, one mail, one connection" "$(rate $bytes "$ms_curl") ($ms_curl)" "$(ideal 1)" "$(ratio "$ms_curl" "$(ideal 1)")" ""
row "figure" "vantlo-cli" "rclone" "" ""
row "100 ls in a row (ms; sign-ins)" "$ms_hundred; $signins" "$ms_hundred_rclone" "" ""
row "--help (ms)" "$ms_help" "$ms_help_rclone" "" ""
row "put of 8 parts (ms, requests)" "$ms_put_8" "$put_requests" "$put_searches/$put_connections" ""
row "ls of 1,000 files (ms, cold)" "$ms_cold_1k" "" "" ""
row "TLS: put of 8 parts (ms)" "$ms_tls_put_8" "" "" ""
row "TLS: ls of 1,000 files (ms, cold)" "$ms_tls_cold_1k" "" "" ""
row "  trusting the system's roots" "$ms_roots_cold_1k" "" "" ""
echo "(rclone: rclone lsf of a local WebDAV remote behind a relay of its own, and rclone --help)"
echo "targets: 4 transfers at least 0.85 of the ideal; 100 commands, 1 sign-in; system roots as quick as one CA file;"
echo "a put of 8 parts: O(8) requests, at most one search a part (its third column: searches/connections)"
