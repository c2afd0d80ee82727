#!/usr/bin/env bash
# The catalog over IMAP, a throwaway local Dovecot over TLS, one run: a put
# of IMAP_MIB (default 256) in 32 MiB parts and its verified get beside curl
# APPENDing the same bytes as one base64 mail and FETCHing it back (raw,
# undecoded): wall time and the client's CPU. Then that mail, stored by
# another client (its subject is the file's name), fetched by `vantlo-cli get` from Dovecot's port that
# offers no BINARY (every byte comes base64 and is decoded here) beside curl
# FETCHing it there (both over STARTTLS). Skipped where dovecot is not installed or not root.
# Usage: scripts/bench-imap.sh [NATIVE_BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-lib.sh"
need "$build/imap/vantlo-imap-bench"
size=${IMAP_MIB:-256}

make_file "$size" "imap.bin"
{ printf 'From: anchor@localhost\r\nSubject: anchor\r\nMIME-Version: 1.0\r\n'
  printf 'Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n'
  base64 -w 76 "$work/imap.bin" | sed 's/$/\r/'; } > "$work/anchor.eml"
cat > "$work/run.sh" <<'RUN'
set -e
url="imaps://127.0.0.1:$(sed -n "s/^imaps //p" "$VANTLO_DOVECOT/ports")"
lean="imap://127.0.0.2:$(sed -n "s/^lean //p" "$VANTLO_DOVECOT/ports")"
VANTLO_IMAP_ACCOUNT=$VANTLO_DOVECOT_USER VANTLO_PASSWORD=$VANTLO_DOVECOT_PASSWORD \
  "$IMAP_BUILD/imap/vantlo-imap-bench" "$url" "$VANTLO_DOVECOT/ca.pem" "$IMAP_WORK/imap.bin"
login=(--cacert "$VANTLO_DOVECOT/ca.pem" -u "$VANTLO_DOVECOT_USER:$VANTLO_DOVECOT_PASSWORD")
curl -sS "${login[@]}" -X 'CREATE anchor' "$url" >/dev/null
# %e wall, %U + %S the client's CPU
timed() { /usr/bin/time -f '%e %U %S' -o "$IMAP_WORK/$1.time" "${@:2}"; }
timed append curl -sS "${login[@]}" -T "$IMAP_WORK/anchor.eml" "$url/anchor"
timed fetch curl -sS "${login[@]}" -o /dev/null "$url/anchor;UID=1"
export VANTLO_PASSWORD=$VANTLO_DOVECOT_PASSWORD XDG_CACHE_HOME=$IMAP_WORK/cache
timed lean-get "$IMAP_BUILD/cli/vantlo-cli" --imap "$lean" --ca-file "$VANTLO_DOVECOT/ca.pem" \
  --account "$VANTLO_DOVECOT_USER" get anchor/anchor "$IMAP_WORK/lean-back.bin"
cmp -s "$IMAP_WORK/imap.bin" "$IMAP_WORK/lean-back.bin" || { echo "bench-imap: the mail came back other" >&2; exit 1; }
timed lean-fetch curl -sS --ssl-reqd "${login[@]}" -o /dev/null "$lean/anchor;UID=1"
line() { awk -v what="$1" '{ printf "%-48s %6.2f; %.2f\n", what, $1, $2 + $3 }' "$IMAP_WORK/$2.time"; }
line "curl APPEND of the same bytes, one mail (s; CPU s)" append
line "curl FETCH of it, raw (s; CPU s)" fetch
echo "that mail from the port without BINARY:"
line "vantlo-cli get, decoded and checked (s; CPU s)" lean-get
line "curl FETCH, raw (s; CPU s)" lean-fetch
RUN
echo
echo "the catalog over IMAP (a local Dovecot over TLS) beside curl on the same server, $size MiB, one run"
set +e
IMAP_BUILD=$build IMAP_WORK=$work python3 "$root/tests/imap/dovecot_fixture.py" -- bash "$work/run.sh"
status=$?
set -e
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || { echo "bench-imap: the IMAP figures failed" >&2; exit 1; }
echo "targets: put and get at least 0.85x curl's APPEND and FETCH; client CPU at most 2x curl's; peak memory under 16 MiB"
