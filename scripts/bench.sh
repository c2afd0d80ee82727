#!/usr/bin/env bash
# The whole benchmark, every figure beside its anchor, loopback only. Here:
# vantlo-cli's put and get beside curl sending the same requests to the same
# local vantlo-provider (throughput for 1 MiB and 256 MiB, the time until a
# put is listed, peak memory); vaults beside plain folders; TLS beside plain
# HTTP, for vantlo-cli and for curl; 256 MiB in 32 MiB parts beside one mail;
# peak memory of a put and get of PEAK_MIB beside rclone copyto to and from
# a local WebDAV remote. The rest in scripts of their own, run from here:
# bench-imap.sh, bench-mount.sh, bench-far.sh (the slow-link relay),
# bench-dav.sh, bench-listing.sh.
# Builds nothing: point it at a native build directory.
#
# Usage: scripts/bench.sh [NATIVE_BUILD_DIR]     (default: build/native)
#        RUNS=5 scripts/bench.sh ...               (runs per figure, median taken; default 3)
#        VERBOSE=1 scripts/bench.sh ...            (also every run's time on standard error)
#        ONLY=far,listing scripts/bench.sh ...     (some sections alone: transfer, vault, tls,
#                                                   parts, memory, imap, mount, far, dav, listing)
#        PEAK_MIB=4096 scripts/bench.sh ...        (the size of the peak memory figures; default 1024)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-lib.sh"
. "$root/scripts/bench-curl.sh"
peak_mib=${PEAK_MIB:-1024}
need "$cli" "$provider" "$relay" /usr/bin/time
command -v curl >/dev/null || { echo "bench: curl is missing" >&2; exit 2; }
sections=" transfer vault tls parts memory imap mount far dav listing "
only=" ${ONLY:-} "
only=${only//,/ }
for name in $only; do
  [[ $sections == *" $name "* ]] || { echo "bench: no section $name (sections:$sections)" >&2; exit 2; }
done
want() { [ -z "${only// /}" ] || [[ $only == *" $1 "* ]]; }
here=$(dirname "$0")

started=$(now_ms)

# --- the provider -------------------------------------------------------------
mkdir "$work/data"
# One-mail files of 256 MiB pass the attachment limit.
"$provider" --listen 127.0.0.1:0 --data "$work/data" --attachment-limit 2147483647 > "$work/provider.out" 2>&1 &
provider_pid=$!
spawned+=($!)
wait_line "$work/provider.out" '^listening on ' || { echo "bench: the provider did not start" >&2; exit 1; }
address=$(sed -n '1s/^listening on //p' "$work/provider.out")

account=demo@163.example
export VANTLO_PASSWORD=vantlo-demo VANTLO_PROVIDER= VANTLO_CA_FILE= XDG_CACHE_HOME=$work/cache
vantlo() { "$cli" --provider "$address" --account "$account" "$@"; }

# --- measuring -----------------------------------------------------------------------
folder=$(vantlo mkdir Bench)
target=$(vantlo mkdir "Bench curl")

# Puts and gets of the current file. Every put stores the file under a name
# of its own (mails of the same name would otherwise be found and moved
# along); the hard link costs nothing.
# The comparison with curl is of one mail per file: --part-size 1G.
put_cli() { ln -f "$file" "$work/cli-$1-$(basename "$file")"; vantlo put --part-size 1G "$work/cli-$1-$(basename "$file")" "$folder"; }
put_curl() { ln -f "$file" "$work/curl-$1-$(basename "$file")"; curl_put "$work/curl-$1-$(basename "$file")"; }
# Every get writes a new file: replacing a large file costs the file system
# more than the transfer (ext4 writes the new data out at the replacing
# rename), which would measure the disk rather than the client.
get_cli() { vantlo get "$id" "$work/back-cli-$1.bin"; }
get_curl() { curl_get "$id" "$work/back-curl-$1.bin"; }

declare -a rows
add_row() { rows+=("$(printf '%-34s %16s %16s  %s' "$1" "$2" "$3" "$4")"); }
# One figure of two ways of the same work: name, bytes, each way's ms ->
# each way's rate (and ms), and the first's speed over the second's.
pair_row() { printf '%-34s %16s %16s %10s\n' "$1" "$(rate "$2" "$3") ($3)" "$(rate "$2" "$4") ($4)" "$(ratio "$3" "$4")"; }
# The peak memory (KiB) of a put and a get, in the same columns.
peak_row() { printf '%-34s %16s %16s %10s\n' "$1" "$(mib "$2") / $(mib "$3")" "" ""; }

if want transfer; then
  for mib in 1 256; do
    file="$work/file-$mib-MiB.bin"
    make_file "$mib" "file-$mib-MiB.bin"
    bytes=$(( mib * 1048576 ))

    read -r ms_cli_put ms_curl_put < <(paired put_cli put_curl)
    rm -f "$work"/cli-* "$work"/curl-*
    ln -f "$file" "$work/get-$mib.bin"
    id=$(vantlo put --part-size 1G "$work/get-$mib.bin" "$folder")
    read -r ms_cli_get ms_curl_get < <(paired get_cli get_curl)
    cmp -s "$file" "$work/back-cli-1.bin" || { echo "bench: vantlo-cli fetched other bytes than it stored" >&2; exit 1; }
    cmp -s "$file" "$work/back-curl-1.bin" || { echo "bench: curl fetched other bytes than were stored" >&2; exit 1; }
    rm -f "$work"/back-*

    add_row "put $mib MiB (MiB/s, ms)" "$(rate $bytes "$ms_cli_put") ($ms_cli_put)" \
      "$(rate $bytes "$ms_curl_put") ($ms_curl_put)" "sign-in..delivery; vantlo-cli also finds and moves the mail"
    add_row "get $mib MiB (MiB/s, ms)" "$(rate $bytes "$ms_cli_get") ($ms_cli_get)" \
      "$(rate $bytes "$ms_curl_get") ($ms_curl_get)" "sign-in..download; vantlo-cli also lists the folders to find it"

    if [ "$mib" = 256 ]; then
      curl_signin
      compose_id=$(curl_script mbox:compose '<?xml version="1.0"?><object/>' | sed -n "s/.*'var':'\([^']*\)'.*/\1/p")
      ln -f "$file" "$work/rss-$mib.bin"
      rss_cli_put=$(peak_kib "$cli" --provider "$address" --account "$account" put --part-size 1G "$work/rss-$mib.bin" "$folder")
      rss_curl_put=$(peak_kib curl -s -o /dev/null -H 'Expect:' -H "Cookie: $cookie" \
        -F "file1=@$file;filename=$file;type=application/octet-stream" \
        -F "file2=@$work/empty;filename=\"\";type=application/octet-stream" \
        "http://$address/a/p/upload.html?sid=$sid&composeId=$compose_id")
      rss_cli_get=$(peak_kib "$cli" --provider "$address" --account "$account" get "$id" "$work/back-cli.bin")
      rss_curl_get=$(peak_kib curl -s -o "$work/back-curl.bin" -H "Cookie: $cookie" \
        "http://$address/js3/read/readdata.jsp?sid=$sid&mid=$id&part=3&mode=inline&action=download_attach")
      add_row "peak memory, put 256 MiB (MiB)" "$(awk -v k="$rss_cli_put" 'BEGIN{printf "%.1f", k/1024}')" \
        "$(awk -v k="$rss_curl_put" 'BEGIN{printf "%.1f", k/1024}')" "max RSS of the process (curl: the upload request)"
      add_row "peak memory, get 256 MiB (MiB)" "$(awk -v k="$rss_cli_get" 'BEGIN{printf "%.1f", k/1024}')" \
        "$(awk -v k="$rss_curl_get" 'BEGIN{printf "%.1f", k/1024}')" "max RSS of the process (curl: the download request)"
    fi
    rm -f "$file" "$work/back-cli.bin" "$work/back-curl.bin"
  done

  # Time from the start of a put of 1 MiB to its message being listed in the
  # target folder; the peer is curl doing the same steps one request at a time
  # (sign-in, compose, upload, delivery, inbox listing, move, target listing).
  make_file 1 "listed.bin"
  listed_cli() {
    local name="listed-cli-$RANDOM$RANDOM.bin" start
    cp "$work/listed.bin" "$work/$name"
    sync
    start=$(now_ms)
    vantlo put "$work/$name" "$folder" >/dev/null
    until [ -n "$(listed_ids "$folder" "$name")" ]; do
      [ $(( $(now_ms) - start )) -lt 60000 ] || { echo "bench: never listed" >&2; exit 1; }
    done
    echo $(( $(now_ms) - start ))
  }
  listed_curl() {
    local name="listed-curl-$RANDOM$RANDOM.bin" start ids
    cp "$work/listed.bin" "$work/$name"
    sync
    start=$(now_ms)
    curl_put "$work/$name"
    until ids=$(listed_ids 1 "$name"); [ -n "$ids" ]; do
      [ $(( $(now_ms) - start )) -lt 60000 ] || { echo "bench: never arrived" >&2; exit 1; }
    done
    curl_script mbox:updateMessageInfos "<?xml version=\"1.0\"?><object><array name=\"ids\"><string>$ids</string></array><object name=\"attrs\"><int name=\"fid\">$target</int></object></object>" >/dev/null
    until [ -n "$(listed_ids "$target" "$name")" ]; do
      [ $(( $(now_ms) - start )) -lt 60000 ] || { echo "bench: never listed" >&2; exit 1; }
    done
    echo $(( $(now_ms) - start ))
  }
  curl_signin  # for the look at the target folder after vantlo-cli's put
  ms_listed_cli=$(for _ in $(seq "$runs"); do listed_cli; done | median)
  ms_listed_curl=$(for _ in $(seq "$runs"); do listed_curl; done | median)
  add_row "put 1 MiB until listed (ms)" "$ms_listed_cli" "$ms_listed_curl" "start of put to the message listed in its folder"

  echo "vantlo-cli beside curl, same provider ($address), median of $runs runs"
  printf '%-34s %16s %16s  %s\n' "figure" "vantlo-cli" "curl" "what is measured"
  printf '%s\n' "${rows[@]}"
  echo "targets: throughput at least curl's; listed in under 1000 ms; peak memory under 16 MiB"

  # The digest that checks every byte of every stored or fetched file.
  if [ -x "$build/catalog/vantlo-sha256-speed" ]; then
    echo
    "$build/catalog/vantlo-sha256-speed" 512
  fi
fi
echo

# --- vaults ------------------------------------------------------------------------
# Argon2id at the default settings and sealing/opening speed in memory; then
# put and get of 256 MiB into a vault beside the same into a plain folder.
if want vault && [ -x "$build/vault/vantlo-vault-speed" ]; then
  "$build/vault/vantlo-vault-speed" 256
  export VANTLO_VAULT_PASSPHRASE=bench-passphrase
  vault_folder=$(vantlo mkdir BenchVault)
  vantlo vault init "$vault_folder" > /dev/null
  file="$work/vault-256-MiB.bin"
  make_file 256 "vault-256-MiB.bin"
  bytes=$(( 256 * 1048576 ))
  put_vault() { ln -f "$file" "$work/vault-$1.bin"; vantlo vault put "$work/vault-$1.bin" "$vault_folder"; }
  put_plain_v() { ln -f "$file" "$work/plainv-$1.bin"; vantlo put "$work/plainv-$1.bin" "$folder"; }
  read -r ms_vault_put ms_plainv_put < <(paired put_vault put_plain_v)
  plainv_id=$(vantlo put "$work/plainv-1.bin" "$folder" 2>/dev/null)  # stored already: prints its key
  get_vault() { vantlo vault get "$vault_folder" vault-1.bin "$work/back-vault-$1.bin"; }
  get_plain_v() { vantlo get "$plainv_id" "$work/back-plainv-$1.bin"; }
  read -r ms_vault_get ms_plainv_get < <(paired get_vault get_plain_v)
  cmp -s "$file" "$work/back-vault-1.bin" || { echo "bench: the vault gave back other bytes" >&2; exit 1; }
  printf '%-34s %16s %16s %10s\n' "vault beside plain, 256 MiB" "vault MiB/s" "plain MiB/s" "ratio"
  printf '%-34s %16s %16s %10s\n' "put" "$(rate $bytes "$ms_vault_put")" "$(rate $bytes "$ms_plainv_put")" \
    "$(ratio "$ms_vault_put" "$ms_plainv_put")"
  printf '%-34s %16s %16s %10s\n' "get" "$(rate $bytes "$ms_vault_get")" "$(rate $bytes "$ms_plainv_get")" \
    "$(ratio "$ms_vault_get" "$ms_plainv_get")"
  echo "targets: vault at least 0.85x plain"
  rm -f "$work"/vault-*.bin "$work"/plainv-*.bin "$work"/back-vault-*.bin "$work"/back-plainv-*.bin
  unset VANTLO_VAULT_PASSPHRASE
  echo
fi

# --- TLS beside plain HTTP --------------------------------------------------------
# The same 256 MiB put and get against a second provider that serves over
# TLS, its certificate checked against the CA it made at start.
if want tls; then
  mkdir "$work/tls-data"
  "$provider" --tls --listen 127.0.0.1:0 --data "$work/tls-data" > "$work/tls-provider.out" 2>&1 &
  tls_pid=$!
  spawned+=($!)
  wait_line "$work/tls-provider.out" '^ca-file ' || true
  tls_address=$(sed -n 's/^listening on //p' "$work/tls-provider.out")
  ca_file=$(sed -n 's/^ca-file //p' "$work/tls-provider.out")
  [ -n "$tls_address" ] && [ -n "$ca_file" ] || { echo "bench: the TLS provider did not start" >&2; exit 1; }
  vantlo_tls() { "$cli" --provider "https://$tls_address" --ca-file "$ca_file" --account "$account" "$@"; }
  tls_folder=$(vantlo_tls mkdir Bench)

  file="$work/tls-256-MiB.bin"
  make_file 256 "tls-256-MiB.bin"
  bytes=$(( 256 * 1048576 ))
  put_tls() { ln -f "$file" "$work/tls-$1.bin"; vantlo_tls put "$work/tls-$1.bin" "$tls_folder"; }
  put_plain() { ln -f "$file" "$work/plain-$1.bin"; vantlo put "$work/plain-$1.bin" "$folder"; }
  read -r ms_tls_put ms_plain_put < <(paired put_tls put_plain)
  # Where the time goes: the CPU of the client and of the provider, one put each.
  ln -f "$file" "$work/cpu-tls.bin"
  ln -f "$file" "$work/cpu-plain.bin"
  read -r cpu_tls_client cpu_tls_provider < <(cpu_pair "$tls_pid" "$cli" --provider "https://$tls_address" \
    --ca-file "$ca_file" --account "$account" put "$work/cpu-tls.bin" "$tls_folder")
  read -r cpu_plain_client cpu_plain_provider < <(cpu_pair "$provider_pid" "$cli" --provider "$address" \
    --account "$account" put "$work/cpu-plain.bin" "$folder")
  ln -f "$file" "$work/get-tls.bin"
  tls_id=$(vantlo_tls put "$work/get-tls.bin" "$tls_folder")
  get_tls() { vantlo_tls get "$tls_id" "$work/back-tls-$1.bin"; }
  get_plain() { vantlo get "$id" "$work/back-plain-$1.bin"; }
  ln -f "$file" "$work/get-plain.bin"
  id=$(vantlo put "$work/get-plain.bin" "$folder")
  read -r ms_tls_get ms_plain_get < <(paired get_tls get_plain)
  cmp -s "$file" "$work/back-tls-1.bin" || { echo "bench: over TLS vantlo-cli fetched other bytes than it stored" >&2; exit 1; }
  # A file of a name of its own: one already stored whole would not be sent again.
  ln -f "$file" "$work/rss-tls.bin"
  rss_tls_put=$(peak_kib "$cli" --provider "https://$tls_address" --ca-file "$ca_file" --account "$account" \
    put "$work/rss-tls.bin" "$tls_folder")
  rss_tls_get=$(peak_kib "$cli" --provider "https://$tls_address" --ca-file "$ca_file" --account "$account" \
    get "$tls_id" "$work/back-tls-rss.bin")
  rm -f "$work"/back-tls-* "$work"/back-plain-*
  # curl's own TLS beside its plain HTTP: the requests of a put.
  put_curl_tls() {
    local curl_base=https://$tls_address curl_opts=(--cacert "$ca_file")
    ln -f "$file" "$work/curl-tls-$1.bin"
    curl_put "$work/curl-tls-$1.bin"
  }
  put_curl_plain() { ln -f "$file" "$work/curl-plain-$1.bin"; curl_put "$work/curl-plain-$1.bin"; }
  read -r ms_curl_tls_put ms_curl_plain_put < <(paired put_curl_tls put_curl_plain)
  rm -f "$file" "$work"/curl-tls-* "$work"/curl-plain-* "$work"/tls-*.bin "$work"/plain-*.bin "$work"/cpu-*.bin

  echo "vantlo-cli over TLS ($tls_address) beside plain HTTP ($address), median of $runs runs"
  printf '%-34s %16s %16s %10s\n' "figure" "TLS" "plain" "TLS/plain"
  pair_row "put 256 MiB (MiB/s, ms)" $bytes "$ms_tls_put" "$ms_plain_put"
  pair_row "get 256 MiB (MiB/s, ms)" $bytes "$ms_tls_get" "$ms_plain_get"
  pair_row "curl put 256 MiB (MiB/s, ms)" $bytes "$ms_curl_tls_put" "$ms_curl_plain_put"
  printf '%-34s %16s %16s\n' "CPU s of a put: client / provider" "$cpu_tls_client / $cpu_tls_provider" \
    "$cpu_plain_client / $cpu_plain_provider"
  peak_row "peak memory, put / get 256 MiB (MiB)" "$rss_tls_put" "$rss_tls_get"
  echo "targets: vantlo-cli's TLS throughput at least 0.8x plain (curl's own ratio is the anchor); peak memory under 16 MiB"

fi

# --- parts beside one mail -------------------------------------------------------------
# The same 256 MiB file stored in 32 MiB parts (8 mails) and in one mail,
# each fetched back and checked.
if want parts; then
  file="$work/parts-256-MiB.bin"
  bytes=$(( 256 * 1048576 ))
  make_file 256 "parts-256-MiB.bin"
  put_parts() { ln -f "$file" "$work/parts-$1.bin"; vantlo put "$work/parts-$1.bin" "$folder"; }
  put_one() { ln -f "$file" "$work/one-$1.bin"; vantlo put --part-size 1G "$work/one-$1.bin" "$folder"; }
  read -r ms_parts_put ms_one_put < <(paired put_parts put_one)
  ln -f "$file" "$work/get-parts.bin"
  parts_id=$(vantlo put "$work/get-parts.bin" "$folder")
  ln -f "$file" "$work/get-one.bin"
  one_id=$(vantlo put --part-size 1G "$work/get-one.bin" "$folder")
  get_parts() { vantlo get "$parts_id" "$work/back-parts-$1.bin"; }
  get_one() { vantlo get "$one_id" "$work/back-one-$1.bin"; }
  read -r ms_parts_get ms_one_get < <(paired get_parts get_one)
  cmp -s "$file" "$work/back-parts-1.bin" || { echo "bench: the file in parts came back other than stored" >&2; exit 1; }
  rm -f "$work"/back-parts-* "$work"/back-one-*
  ln -f "$file" "$work/rss-parts.bin"
  rss_parts_put=$(peak_kib "$cli" --provider "$address" --account "$account" put "$work/rss-parts.bin" "$folder")
  rss_parts_get=$(peak_kib "$cli" --provider "$address" --account "$account" get "$parts_id" "$work/back-parts.bin")
  rm -f "$file" "$work"/parts-* "$work"/one-* "$work/back-parts.bin"

  echo
  echo "vantlo-cli, 256 MiB in 32 MiB parts beside one mail ($address), median of $runs runs"
  printf '%-34s %16s %16s %10s\n' "figure" "parts" "one mail" "parts/one"
  pair_row "put 256 MiB (MiB/s, ms)" $bytes "$ms_parts_put" "$ms_one_put"
  pair_row "get 256 MiB (MiB/s, ms)" $bytes "$ms_parts_get" "$ms_one_get"
  peak_row "peak memory, put / get 256 MiB (MiB)" "$rss_parts_put" "$rss_parts_get"
  echo "targets: parts at least 0.9x one mail; peak memory under 16 MiB"
fi

# --- peak memory beside rclone -------------------------------------------------------
# A put (in parts) and a get of PEAK_MIB beside rclone copyto to and from
# rclone's own WebDAV server of a local directory.
if want memory && command -v rclone >/dev/null; then
  make_file "$peak_mib" "peak.bin"
  rss_put=$(peak_kib "$cli" --provider "$address" --account "$account" put "$work/peak.bin" "$folder")
  peak_key=$(vantlo put "$work/peak.bin" "$folder" 2>/dev/null)  # stored already: prints its key
  rss_get=$(peak_kib "$cli" --provider "$address" --account "$account" get "$peak_key" "$work/peak-back.bin")
  cmp -s "$work/peak.bin" "$work/peak-back.bin" || { echo "bench: the peak file came back other" >&2; exit 1; }
  rm -f "$work/peak-back.bin"
  mkdir "$work/dav"
  rclone_dav "$work/dav"
  rss_rclone_put=$(peak_kib rclone copyto "$work/peak.bin" :webdav:peak.bin --webdav-url "http://127.0.0.1:$dav_port")
  rss_rclone_get=$(peak_kib rclone copyto :webdav:peak.bin "$work/peak-back.bin" --webdav-url "http://127.0.0.1:$dav_port")
  rm -f "$work/peak.bin" "$work/peak-back.bin" "$work/dav/peak.bin"
  echo
  printf '%-34s %16s %16s\n' "peak memory, $peak_mib MiB (MiB)" "vantlo-cli" "rclone copyto"
  printf '%-34s %16s %16s\n' "put / get" "$(mib "$rss_put") / $(mib "$rss_get")" \
    "$(mib "$rss_rclone_put") / $(mib "$rss_rclone_get")"
  echo "target: under 16 MiB (PEAK_MIB=4096 for the 4 GiB figure)"
elif want memory; then
  echo "bench: rclone is missing; no peak memory figures beside it"
fi

# --- the rest, each in a script of its own -------------------------------------------
for name in imap mount far dav listing; do
  if want "$name"; then "$here/bench-$name.sh" "$build"; fi
done
echo
echo "whole run: $(( ($(now_ms) - started) / 1000 )) s at RUNS=$runs; load: $(cut -d' ' -f1-3 /proc/loadavg)"
