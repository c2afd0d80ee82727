#!/usr/bin/env bash
# Transfer benchmark: vantlo-cli's put and get beside curl sending the same
# requests to the same local vantlo-provider, in the same run. Prints a
# table: throughput for files of 1 MiB and 256 MiB, the time from the start
# of a put until its message is listed in the target folder, and peak memory;
# then a second: put and get of 256 MiB over TLS beside plain HTTP; then a
# third: 256 MiB in 32 MiB parts beside one mail, and the time to list a
# folder of 10,000 files; then a fourth: a provider far away (the slow-link
# relay), 200 MiB with 1 and with 4 parts at once beside the ideal time,
# a listing of 10,000 files, 100 commands with their sign-ins counted, the
# requests and connections of a put of 8 parts and a cold listing of 1,000
# files.
# Builds nothing: point it at a native build directory.
#
# Usage: scripts/bench.sh [NATIVE_BUILD_DIR]     (default: build/native)
#        RUNS=5 scripts/bench.sh ...               (runs per figure, median taken; default 3)
#        VERBOSE=1 scripts/bench.sh ...            (also every run's time on standard error)
#        ONLY=vault scripts/bench.sh ...           (the vault figures alone)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
cli=$build/cli/vantlo-cli
provider=$build/provider/vantlo-provider
runs=${RUNS:-3}
relay=$build/tests/support/vantlo-slow-link
for program in "$cli" "$provider" "$relay" /usr/bin/time; do
  [ -x "$program" ] || { echo "bench: $program is missing (build the native tree first)" >&2; exit 2; }
done
command -v curl >/dev/null || { echo "bench: curl is missing" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vantlo-bench.XXXXXX")
provider_pid=
tls_provider_pid=
far_provider_pid=
relay_pid=
tls_far_provider_pid=
tls_relay_pid=
cleanup() {
  local pid
  for pid in $tls_relay_pid $tls_far_provider_pid $relay_pid $far_provider_pid $provider_pid $tls_provider_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# --- the provider -------------------------------------------------------------
mkdir "$work/data"
# One-mail files of 256 MiB pass the attachment limit; a seeded folder of
# 10,000 stored files is there to be listed.
"$provider" --listen 127.0.0.1:0 --data "$work/data" --attachment-limit 2147483647 \
  --seed-folder "bench-seed:10000" > "$work/provider.out" 2>&1 &
provider_pid=$!
for _ in $(seq 1200); do
  grep -q '^listening on ' "$work/provider.out" 2>/dev/null && break
  sleep 0.05
done
address=$(sed -n '1s/^listening on //p' "$work/provider.out")
[ -n "$address" ] || { echo "bench: the provider did not start" >&2; exit 1; }

account=demo@163.example
export VANTLO_PASSWORD=vantlo-demo VANTLO_PROVIDER= VANTLO_CA_FILE= XDG_CACHE_HOME=$work/cache
user_agent='Ostrel Mail Tools; Unix 7.2'
vantlo() { "$cli" --provider "$address" --account "$account" "$@"; }

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# --- curl speaking the same requests ---------------------------------------------
# The sign-in pair, as vantlo-cli sends it; sets cookie, sid and host.
curl_signin() {
  local first second ntes sinfo pinfo core
  first=$(curl -s -D - -o /dev/null -H 'Accept: */*' -H 'Content-Type: application/x-www-form-urlencoded' \
    -H 'Host: reg.163.example' -A "$user_agent" -H 'Connection: close' \
    --data "url=&type=1&product=&username=$account@163.example&user=$account&password=$VANTLO_PASSWORD" \
    "http://$address/logins.jsp?type=1&product=mail163&url=http://entry.163.example/coremail/fcg/ntesdoor2?lightweight%3D1%26verifycookie%3D1%26language%3D-1%26style%3D-1")
  ntes=$(grep -o 'NTES_SESS=[^;]*;' <<<"$first" | head -1)
  sinfo=$(grep -o 'S_INFO=[^;]*;' <<<"$first" | head -1)
  pinfo=$(grep -o 'P_INFO=[^;]*;' <<<"$first" | head -1)
  second=$(curl -s -D - -o /dev/null -H 'Accept: */*' -H 'Host: entry.163.example' -A "$user_agent" \
    -H 'Connection: close' -H "Cookie: $ntes" \
    "http://$address/coremail/fcg/ntesdoor2?lightweight=1&verifycookie=1&language=-1&style=-1&username=$account")
  core=$(grep -o 'Coremail=[^;]*;' <<<"$second" | head -1)
  sid=${core:23:32}
  host=$(sed -n 's|^Location: http://\([^/]*\)/.*|\1|p' <<<"$second" | tr -d '\r')
  cookie="$sinfo$pinfo$ntes$core"
}

# One script-interface request; prints the answer body.
curl_script() {  # function, body
  curl -s -H 'Accept: text/javascript' -H 'Content-Type: application/xml' -A "$user_agent" -H "Host: $host" \
    -H 'Connection: close' -H "Cookie: $cookie" --data-binary "$2" "http://$address/a/s?sid=$sid&func=$1"
}

# Sign-in, compose, the multipart upload and the delivery: the requests of a put.
curl_put() {  # file
  local file=$1 size compose name
  size=$(stat -c %s "$file")
  curl_signin
  compose=$(curl_script mbox:compose '<?xml version="1.0"?><object/>')
  compose_id=$(sed -n "s/.*'var':'\([^']*\)'.*/\1/p" <<<"$compose")
  curl -s -o /dev/null -H 'Expect:' -H 'Accept: */*' -H "Host: $host" -A "$user_agent" \
    -H 'Connection: Keep-Alive' -H "Cookie: $cookie" \
    -F "file1=@$file;filename=$file;type=application/octet-stream" \
    -F "file2=@$work/empty;filename=\"\";type=application/octet-stream" \
    "http://$address/a/p/upload.html?sid=$sid&composeId=$compose_id"
  name=$(basename "$file")
  curl_script mbox:compose "<?xml version=\"1.0\"?><object><string name=\"action\">deliver</string><string name=\"id\">$compose_id</string><object name=\"attrs\"><string name=\"account\">$account</string><array name=\"to\"><string>$account</string></array><array name=\"cc\"/><array name=\"bcc\"/><string name=\"subject\">$name</string><string name=\"content\">-----</string><boolean name=\"isHtml\">true</boolean><int name=\"priority\">3</int><boolean name=\"saveSentCopy\">true</boolean><boolean name=\"requestReadReceipt\">false</boolean><object name=\"attachments\"><object name=\"0\"><int name=\"id\">1</int><string name=\"type\">upload</string><string name=\"name\">BenchBenchBenchBenchBenchB</string><string name=\"contentType\">text/plain</string><int name=\"size\">$size</int></object></object><string name=\"charset\">gbk</string><string name=\"id\">$compose_id</string></object><int name=\"saveSentLimit\">1</int></object>" >/dev/null
}

# Sign-in and the download of part 3: the requests of a get.
curl_get() {  # message id, output file
  curl_signin
  curl -s -o "$2" -H 'Accept: */*' -H "Host: $host" -H 'Content-Type: application/xml' -A "$user_agent" \
    -H 'Connection: close' -H "Cookie: $cookie" \
    "http://$address/js3/read/readdata.jsp?sid=$sid&mid=$1&part=3&mode=inline&action=download_attach"
}

# Ids of the messages of a folder whose subject is the given one.
listed_ids() {  # folder id, subject
  curl_script mbox:listMessages "<?xml version=\"1.0\"?><object><int name=\"fid\">$1</int><string name=\"order\">date</string><boolean name=\"desc\">true</boolean><int name=\"start\">0</int><int name=\"limit\">50</int></object>" |
    tr '{' '\n' | grep -F "'subject':'$2'" | sed -n "s/^'id':'\([^']*\)'.*/\1/p"
}

# --- measuring -----------------------------------------------------------------------
: > "$work/empty"
folder=$(vantlo mkdir Bench)
target=$(vantlo mkdir "Bench curl")

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

# Runs two commands RUNS times each, taking turns at going first, and
# prints the median milliseconds of each: "A B".
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

# Peak resident memory (KiB) of one command.
peak_kib() {
  /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null
  cat "$work/rss"
}

rate() {  # bytes, milliseconds -> MiB/s
  awk -v b="$1" -v ms="$2" 'BEGIN { if (ms < 1) ms = 1; printf "%.1f", b / 1048576 / (ms / 1000) }'
}

make_file() {  # size in MiB, name
  head -c $(( $1 * 1048576 )) /dev/urandom > "$work/$2"
}

declare -a rows
add_row() { rows+=("$(printf '%-34s %16s %16s  %s' "$1" "$2" "$3" "$4")"); }

# ONLY=vault runs the vault figures alone.
if [ "${ONLY:-}" != vault ]; then
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
if [ -x "$build/vault/vantlo-vault-speed" ]; then
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
  plainv_id=$(vantlo put "$work/plainv-1.bin" "$folder")  # stored already: prints its key
  get_vault() { vantlo vault get "$vault_folder" vault-1.bin "$work/back-vault-$1.bin"; }
  get_plain_v() { vantlo get "$plainv_id" "$work/back-plainv-$1.bin"; }
  read -r ms_vault_get ms_plainv_get < <(paired get_vault get_plain_v)
  cmp -s "$file" "$work/back-vault-1.bin" || { echo "bench: the vault gave back other bytes" >&2; exit 1; }
  printf '%-34s %16s %16s %10s\n' "vault beside plain, 256 MiB" "vault MiB/s" "plain MiB/s" "ratio"
  printf '%-34s %16s %16s %10s\n' "put" "$(rate $bytes "$ms_vault_put")" "$(rate $bytes "$ms_plainv_put")" \
    "$(awk -v v="$ms_vault_put" -v p="$ms_plainv_put" 'BEGIN { printf "%.2f", p / (v < 1 ? 1 : v) }')"
  printf '%-34s %16s %16s %10s\n' "get" "$(rate $bytes "$ms_vault_get")" "$(rate $bytes "$ms_plainv_get")" \
    "$(awk -v v="$ms_vault_get" -v p="$ms_plainv_get" 'BEGIN { printf "%.2f", p / (v < 1 ? 1 : v) }')"
  echo "targets: vault at least 0.85x plain"
  rm -f "$work"/vault-*.bin "$work"/plainv-*.bin "$work"/back-vault-*.bin "$work"/back-plainv-*.bin
  unset VANTLO_VAULT_PASSPHRASE
  echo
fi
[ "${ONLY:-}" != vault ] || exit 0

# --- TLS beside plain HTTP --------------------------------------------------------
# The same 256 MiB put and get against a second provider that serves over
# TLS, its certificate checked against the CA it made at start.
mkdir "$work/tls-data"
"$provider" --tls --listen 127.0.0.1:0 --data "$work/tls-data" > "$work/tls-provider.out" 2>&1 &
tls_provider_pid=$!
for _ in $(seq 100); do
  grep -q '^ca-file ' "$work/tls-provider.out" 2>/dev/null && break
  sleep 0.05
done
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

ratio() { awk -v tls="$1" -v plain="$2" 'BEGIN { if (tls < 1) tls = 1; printf "%.2f", plain / tls }'; }
tls_rows=()
add_tls_row() { tls_rows+=("$(printf '%-34s %16s %16s %10s' "$1" "$2" "$3" "$4")"); }
add_tls_row "put 256 MiB (MiB/s, ms)" "$(rate $bytes "$ms_tls_put") ($ms_tls_put)" \
  "$(rate $bytes "$ms_plain_put") ($ms_plain_put)" "$(ratio "$ms_tls_put" "$ms_plain_put")"
add_tls_row "get 256 MiB (MiB/s, ms)" "$(rate $bytes "$ms_tls_get") ($ms_tls_get)" \
  "$(rate $bytes "$ms_plain_get") ($ms_plain_get)" "$(ratio "$ms_tls_get" "$ms_plain_get")"
add_tls_row "peak memory, put / get 256 MiB (MiB)" \
  "$(awk -v p="$rss_tls_put" -v g="$rss_tls_get" 'BEGIN{printf "%.1f / %.1f", p/1024, g/1024}')" "" ""

echo "vantlo-cli over TLS ($tls_address) beside plain HTTP ($address), median of $runs runs"
printf '%-34s %16s %16s %10s\n' "figure" "TLS" "plain" "TLS/plain"
printf '%s\n' "${tls_rows[@]}"
echo "targets: TLS throughput at least 0.7x plain; peak memory under 16 MiB"

# --- parts beside one mail, and a long listing ---------------------------------------
# The same 256 MiB file stored in 32 MiB parts (8 mails) and in one mail,
# each fetched back and checked; then `ls` of the seeded folder of 10,000
# files with an empty manifest cache (every size read from its mail) and
# again with the cache filled.
file="$work/parts-256-MiB.bin"
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

seed=$(vantlo folders | awk -F '\t' '$2 == "bench-seed" { print $1 }')
cold_ls() { rm -rf "$work/cache"; vantlo ls "$seed"; }
warm_ls() { vantlo ls "$seed"; }
listed_files=$(cold_ls | wc -l)
[ "$listed_files" -eq 10000 ] || { echo "bench: ls listed $listed_files files, not 10000" >&2; exit 1; }
ms_cold=$(for i in $(seq "$runs"); do elapsed cold_ls; done | median)
ms_warm=$(for i in $(seq "$runs"); do elapsed warm_ls; done | median)

parts_rows=()
add_parts_row() { parts_rows+=("$(printf '%-34s %16s %16s %10s' "$1" "$2" "$3" "$4")"); }
add_parts_row "put 256 MiB (MiB/s, ms)" "$(rate $bytes "$ms_parts_put") ($ms_parts_put)" \
  "$(rate $bytes "$ms_one_put") ($ms_one_put)" "$(ratio "$ms_parts_put" "$ms_one_put")"
add_parts_row "get 256 MiB (MiB/s, ms)" "$(rate $bytes "$ms_parts_get") ($ms_parts_get)" \
  "$(rate $bytes "$ms_one_get") ($ms_one_get)" "$(ratio "$ms_parts_get" "$ms_one_get")"
add_parts_row "peak memory, put / get 256 MiB (MiB)" \
  "$(awk -v p="$rss_parts_put" -v g="$rss_parts_get" 'BEGIN{printf "%.1f / %.1f", p/1024, g/1024}')" "" ""
echo
echo "vantlo-cli, 256 MiB in 32 MiB parts beside one mail ($address), median of $runs runs"
printf '%-34s %16s %16s %10s\n' "figure" "parts" "one mail" "parts/one"
printf '%s\n' "${parts_rows[@]}"
echo "targets: parts at least 0.9x one mail; peak memory under 16 MiB"
printf '%-34s %16s %16s\n' "ls of 10,000 files (ms)" "cold: $ms_cold" "warm: $ms_warm"
echo "target: under 1500 ms (cold: no manifest cache, every file's manifest read)"
echo

# --- IMAP beside the webmail and beside curl -------------------------------------------
# A 256 MiB put in 32 MiB parts and its verified get through the catalog
# into a throwaway Dovecot over TLS (one run), beside curl APPENDing the same
# bytes as one base64 mail and FETCHing it back (raw, undecoded) on the same
# server: wall time and the client's CPU. Skipped where dovecot is not
# installed.
if [ -x "$build/imap/vantlo-imap-bench" ]; then
  make_file 256 "imap-256-MiB.bin"
  { printf 'From: anchor@localhost\r\nSubject: anchor\r\nMIME-Version: 1.0\r\n'
    printf 'Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n'
    base64 -w 76 "$work/imap-256-MiB.bin" | sed 's/$/\r/'; } > "$work/imap-anchor.eml"
  cat > "$work/imap-run.sh" <<'RUN'
set -e
url="imaps://127.0.0.1:$(sed -n "s/^imaps //p" "$VANTLO_DOVECOT/ports")"
VANTLO_IMAP_ACCOUNT=$VANTLO_DOVECOT_USER VANTLO_PASSWORD=$VANTLO_DOVECOT_PASSWORD \
  "$IMAP_BENCH" "$url" "$VANTLO_DOVECOT/ca.pem" "$IMAP_FILE"
login=(--cacert "$VANTLO_DOVECOT/ca.pem" -u "$VANTLO_DOVECOT_USER:$VANTLO_DOVECOT_PASSWORD")
curl -sS "${login[@]}" -X 'CREATE anchor' "$url" >/dev/null
# %e wall, %U + %S the client's CPU
timed() { /usr/bin/time -f '%e %U %S' -o "$IMAP_WORK/$1.time" "${@:2}"; }
timed append curl -sS "${login[@]}" -T "$IMAP_MAIL" "$url/anchor"
timed fetch curl -sS "${login[@]}" -o /dev/null "$url/anchor;UID=1"
awk '{printf "curl APPEND of the same bytes, one mail (s; CPU s) %6.2f; %.2f\n", $1, $2 + $3}' "$IMAP_WORK/append.time"
awk '{printf "curl FETCH of it, raw (s; CPU s)                   %6.2f; %.2f\n", $1, $2 + $3}' "$IMAP_WORK/fetch.time"
RUN
  echo
  echo "the catalog over IMAP (a local Dovecot over TLS) beside curl on the same server, one run"
  set +e
  IMAP_BENCH=$build/imap/vantlo-imap-bench IMAP_FILE=$work/imap-256-MiB.bin IMAP_MAIL=$work/imap-anchor.eml \
    IMAP_WORK=$work python3 "$root/tests/imap/dovecot_fixture.py" -- bash "$work/imap-run.sh"
  status=$?
  set -e
  rm -f "$work/imap-anchor.eml"
  [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || { echo "bench: the IMAP figures failed" >&2; exit 1; }
  echo "targets: put and get at least 0.85x curl's APPEND and FETCH; client CPU at most 2x curl's; peak memory under 16 MiB"
fi

# --- the mount beside vantlo-cli ------------------------------------------------------
# On a provider of its own (a seeded folder of 1,000 files): cp of a 256 MiB
# file into vantlo-mount (until its store is done: sync waits for it) and
# out of it (a fresh mount each time, so every byte comes from the mailbox)
# beside vantlo-cli put/get of the same file; then ls -l of the 1,000 files
# on a fresh mount (cold) and again (cached). Skipped without FUSE.
bench_mount() {
  local mount_exe=$build/mount/vantlo-mount point=$work/mnt mcache=$work/mount-cache data=$work/mount-data
  if [ ! -x "$mount_exe" ] || [ ! -w /dev/fuse ] || ! command -v fusermount3 >/dev/null; then
    echo "bench: vantlo-mount or FUSE is missing here; no mount figures"
    return 0
  fi
  mkdir -p "$point" "$data"
  "$provider" --listen 127.0.0.1:0 --data "$data" --seed-folder "bench-1k:1000" > "$work/mount-provider.out" 2>&1 &
  local mount_provider=$!
  (
    trap 'fusermount3 -u "$point" 2>/dev/null || true; kill $mount_provider 2>/dev/null || true' EXIT
    for _ in $(seq 1200); do grep -q '^listening on ' "$work/mount-provider.out" 2>/dev/null && break; sleep 0.05; done
    local at
    at=$(sed -n '1s/^listening on //p' "$work/mount-provider.out")
    [ -n "$at" ] || { echo "bench: the mount's provider did not start" >&2; exit 1; }
    mcli() { "$cli" --provider "$at" --account "$account" "$@"; }
    up() {
      rm -rf "$mcache"
      "$mount_exe" --provider "$at" --account "$account" --cache-dir "$mcache" "$point"
      for _ in $(seq 400); do mountpoint -q "$point" && return 0; sleep 0.05; done
      echo "bench: vantlo-mount did not come up" >&2; exit 1
    }
    down() {  # unmounted, and the mount's process gone (it holds the cache's lock)
      fusermount3 -u "$point"
      for _ in $(seq 600); do
        ! mountpoint -q "$point" && flock -n "$mcache/lock" true && return 0
        sleep 0.05
      done
      echo "bench: vantlo-mount did not end" >&2; exit 1
    }
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
    cmp -s "$file" "$work/m-back-mount-1.bin" || { echo "bench: the file read through the mount differs" >&2; exit 1; }
    rm -f "$work"/m-back-* "$work"/m-cli-* "$file"
    down
    ls_cached() { ls -l "$point/bench-1k" | wc -l; }
    up
    [ "$(ls_cached)" -eq 1001 ] || { echo "bench: ls -l did not list 1,000 files" >&2; exit 1; }
    ms_ls_cold=$( (for i in $(seq "$runs"); do down; up; elapsed ls -l "$point/bench-1k"; done) | median)
    ms_ls_cached=$( (for i in $(seq "$runs"); do elapsed ls -l "$point/bench-1k"; done) | median)
    down
    bytes_m=$(( 256 * 1048576 ))
    echo
    echo "vantlo-mount beside vantlo-cli ($at), median of $runs runs"
    printf '%-34s %16s %16s %10s\n' "figure" "mount" "vantlo-cli" "mount/cli"
    printf '%-34s %16s %16s %10s\n' "cp in / put 256 MiB (MiB/s, ms)" \
      "$(rate $bytes_m "$ms_mount_put") ($ms_mount_put)" "$(rate $bytes_m "$ms_cli_put") ($ms_cli_put)" \
      "$(ratio "$ms_mount_put" "$ms_cli_put")"
    printf '%-34s %16s %16s %10s\n' "cp out / get 256 MiB (MiB/s, ms)" \
      "$(rate $bytes_m "$ms_mount_get") ($ms_mount_get)" "$(rate $bytes_m "$ms_cli_get") ($ms_cli_get)" \
      "$(ratio "$ms_mount_get" "$ms_cli_get")"
    printf '%-34s %16s %16s\n' "ls -l of 1,000 files (ms)" "cold: $ms_ls_cold" "cached: $ms_ls_cached"
    echo "targets: mount at least 0.8x vantlo-cli; ls -l under 2000 ms cold, under 200 ms cached"
  )
}
bench_mount

# --- a provider far away ------------------------------------------------------------
# The slow-link relay in front of a provider of its own: 20 ms each way (a
# 40 ms round trip) and 4 MiB/s per connection and direction. A 200 MiB file
# in 25 MiB parts (8 mails) put and fetched with --transfers 1 and 4, beside
# the ideal time (the bytes at 4 MiB/s per connection in use); `ls` of a
# folder of 10,000 files with its manifest cache filled; 100 `ls` in a row
# after a signout, the sign-ins counted in the provider's log. One run each;
# the put of 8 small parts (its requests and connections counted in the log)
# and `ls` of 1,000 files with an empty manifest cache: medians of RUNS.
delay_ms=20
cap=$(( 4 * 1048576 ))
mkdir "$work/far-data"
"$provider" --listen 127.0.0.1:0 --data "$work/far-data" --log "$work/far.log" \
  --seed-folder "far-seed:10000" --seed-folder "far-1k:1000" > "$work/far-provider.out" 2>&1 &
far_provider_pid=$!
for _ in $(seq 1200); do
  grep -q '^listening on ' "$work/far-provider.out" 2>/dev/null && break
  sleep 0.05
done
far_port=$(sed -n '1s/^listening on 127.0.0.1://p' "$work/far-provider.out")
[ -n "$far_port" ] || { echo "bench: the far provider did not start" >&2; exit 1; }
# The relay ends with this script: its standard input is a pipe that closes then.
coproc RELAY { "$relay" "$far_port" "$delay_ms" "$cap" 3600; }
relay_pid=$RELAY_PID
read -r _ relay_port <&"${RELAY[0]}"
far() { "$cli" --provider "127.0.0.1:$relay_port" --account "$account" "$@"; }
far_folder=$(far mkdir Far)

file="$work/far-200-MiB.bin"
make_file 200 "far-200-MiB.bin"
bytes=$(( 200 * 1048576 ))
far_rows=()
ideal() {  # transfers -> ms at the cap per connection
  awk -v b="$bytes" -v n="$1" -v c="$cap" 'BEGIN { printf "%d", b / (n * c) * 1000 }'
}
for n in 1 4; do
  ln -f "$file" "$work/far-$n.bin"
  ms_put=$(elapsed far put --part-size 25M --transfers "$n" "$work/far-$n.bin" "$far_folder")
  far_id=$(far put --part-size 25M "$work/far-$n.bin" "$far_folder")  # already stored: prints its key
  ms_get=$(elapsed far get --transfers "$n" "$far_id" "$work/far-back-$n.bin")
  cmp -s "$file" "$work/far-back-$n.bin" || { echo "bench: the far file came back other than stored" >&2; exit 1; }
  rm -f "$work/far-back-$n.bin"
  eval "ms_put_$n=$ms_put ms_get_$n=$ms_get"
  far_rows+=("$(printf '%-34s %16s %16s %10s' "put 200 MiB, --transfers $n" "$(rate $bytes "$ms_put") ($ms_put)" \
    "$(ideal "$n")" "$(ratio "$ms_put" "$(ideal "$n")")")")
  far_rows+=("$(printf '%-34s %16s %16s %10s' "get 200 MiB, --transfers $n" "$(rate $bytes "$ms_get") ($ms_get)" \
    "$(ideal "$n")" "$(ratio "$ms_get" "$(ideal "$n")")")")
done
rm -f "$file" "$work"/far-*.bin

far_seed=$(far folders | awk -F '\t' '$2 == "far-seed" { print $1 }')
far ls "$far_seed" > /dev/null  # fills the manifest cache
ms_far_ls=$(elapsed far ls "$far_seed")
far signout
signins_before=$(grep -c ' head POST /logins.jsp' "$work/far.log")
start=$(now_ms)
for _ in $(seq 100); do far ls "$far_folder" > /dev/null; done
ms_hundred=$(( $(now_ms) - start ))
signins=$(( $(grep -c ' head POST /logins.jsp' "$work/far.log") - signins_before ))

# A put of 8 parts of 1 MiB: requests, searches and connections from the log.
logged() { grep -c "$1" "$work/far.log" || true; }
head -c $(( 8 * 1048576 )) /dev/urandom > "$work/far-8.bin"
put_figures=$(for i in $(seq "$runs"); do
  ln -f "$work/far-8.bin" "$work/far-8-$i.bin"
  h=$(logged ' head ') s=$(logged 'func=mbox:searchMessages') o=$(logged ' open ')
  ms=$(elapsed far put --part-size 1M "$work/far-8-$i.bin" "$far_folder")
  echo "$ms $(( $(logged ' head ') - h )) $(( $(logged 'func=mbox:searchMessages') - s )) $(( $(logged ' open ') - o ))"
done | sort -n | awk '{ v[NR] = $0 } END { print v[int((NR + 1) / 2)] }')
read -r ms_put_8 put_requests put_searches put_connections <<<"$put_figures"
rm -f "$work"/far-8*.bin
far_1k=$(far folders | awk -F '\t' '$2 == "far-1k" { print $1 }')
far ls "$far_1k" > /dev/null
cold_1k() {
  find "$work/cache" -name '*manifest*' -delete 2>/dev/null || true
  elapsed far ls "$far_1k"
}
ms_cold_1k=$(for _ in $(seq "$runs"); do cold_1k; done | median)

# The same two over TLS, where every new connection costs its handshake's
# round trips: a provider of its own behind a relay of its own, told to name
# the relay's port as the webmail host's (the relay cannot rewrite it in TLS).
tls_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# A second relay: its standard input is a pipe this script holds open.
mkfifo "$work/tls-relay.in"
"$relay" "$tls_port" "$delay_ms" "$cap" 3600 < "$work/tls-relay.in" > "$work/tls-relay.out" &
tls_relay_pid=$!
exec {tls_relay_in}> "$work/tls-relay.in"
for _ in $(seq 1200); do grep -q '^port ' "$work/tls-relay.out" 2>/dev/null && break; sleep 0.05; done
tls_relay_port=$(sed -n 's/^port //p' "$work/tls-relay.out")
mkdir "$work/tls-far-data"
"$provider" --listen "127.0.0.1:$tls_port" --public-port "$tls_relay_port" --tls --data "$work/tls-far-data" \
  --log "$work/tls-far.log" --seed-folder "far-1k:1000" > "$work/tls-far-provider.out" 2>&1 &
tls_far_provider_pid=$!
for _ in $(seq 1200); do grep -q '^ca-file ' "$work/tls-far-provider.out" 2>/dev/null && break; sleep 0.05; done
tls_ca=$(sed -n 's/^ca-file //p' "$work/tls-far-provider.out")
[ -n "$tls_ca" ] || { echo "bench: the TLS far provider did not start" >&2; exit 1; }
tls_far() { VANTLO_CA_FILE=$tls_ca "$cli" --provider "https://127.0.0.1:$tls_relay_port" --account "$account" "$@"; }
tls_folder=$(tls_far mkdir Far)
head -c $(( 8 * 1048576 )) /dev/urandom > "$work/far-8.bin"
ms_tls_put_8=$(for i in $(seq "$runs"); do
  ln -f "$work/far-8.bin" "$work/far-8-tls-$i.bin"
  elapsed tls_far put --part-size 1M "$work/far-8-tls-$i.bin" "$tls_folder"
done | median)
rm -f "$work"/far-8*.bin
tls_1k=$(tls_far folders | awk -F '\t' '$2 == "far-1k" { print $1 }')
tls_far ls "$tls_1k" > /dev/null
ms_tls_cold_1k=$(for _ in $(seq "$runs"); do
  find "$work/cache" -name '*manifest*' -delete 2>/dev/null || true
  elapsed tls_far ls "$tls_1k"
done | median)
kill "$tls_relay_pid" "$tls_far_provider_pid" 2>/dev/null || true
exec {tls_relay_in}>&-

echo
echo "vantlo-cli through a slow link (${delay_ms} ms each way, $(( cap / 1048576 )) MiB/s per connection), one run"
printf '%-34s %16s %16s %10s\n' "figure" "MiB/s (ms)" "ideal ms" "ideal/took"
printf '%s\n' "${far_rows[@]}"
printf '%-34s %16s %16s %10s\n' "4 transfers beside 1: put, get" "" "" \
  "$(ratio "$ms_put_4" "$ms_put_1") $(ratio "$ms_get_4" "$ms_get_1")"
printf '%-34s %16s\n' "ls of 10,000 files (ms, cached)" "$ms_far_ls"
printf '%-34s %16s %16s\n' "100 ls in a row (ms, sign-ins)" "$ms_hundred" "$signins sign-in(s)"
printf '%-34s %16s %16s %10s\n' "put of 8 parts (ms, requests)" "$ms_put_8" "$put_requests" \
  "$put_searches/$put_connections"
printf '%-34s %16s\n' "ls of 1,000 files (ms, cold)" "$ms_cold_1k"
printf '%-34s %16s\n' "TLS: put of 8 parts (ms)" "$ms_tls_put_8"
printf '%-34s %16s\n' "TLS: ls of 1,000 files (ms, cold)" "$ms_tls_cold_1k"
echo "targets: 4 transfers at least 3.5x 1 and at least 0.85 of the ideal; 100 commands, 1 sign-in;"
echo "a put of 8 parts: O(8) requests, at most one search a part (last column: searches/connections)"

# --- vantlo-dav beside vantlo-cli (its own script) -----------------------------
"$(dirname "$0")/bench-dav.sh" "$build"

# --- a cold listing through the slow link (its own script) ----------------------
# ls of 10,000 files with an empty manifest cache, beside rclone lsl of a local
# WebDAV remote; the requests one listing takes.
"$(dirname "$0")/bench-listing.sh" "$build"
