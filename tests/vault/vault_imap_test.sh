#!/usr/bin/env bash
# A vault in a real Dovecot (run by tests/imap/dovecot_fixture.py): a file
# in several parts and an empty one stored, listed and fetched back, and the
# maildir holds no name, no plain byte and no plain SHA-256. What a vault
# does whatever the mailbox (a second put, a wrong passphrase) is
# vault_cli_test's.
# Usage: dovecot_fixture.py -- vault_imap_test.sh VANTLO_CLI
set -euo pipefail
cli=$1
port=$(awk '$1 == "imaps" { print $2 }' "$VANTLO_DOVECOT/ports")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VANTLO_PASSWORD='pa "s\s' VANTLO_VAULT_PASSPHRASE='imap vault phrase' XDG_CACHE_HOME=$work/cache
v() { "$cli" --imap "imaps://127.0.0.1:$port" --ca-file "$VANTLO_DOVECOT/ca.pem" --account tester "$@"; }
fail() { echo "vault_imap_test: $*" >&2; exit 1; }

v mkdir Sealed > /dev/null
v vault init Sealed > /dev/null
head -c 300000 /dev/urandom > "$work/报告 2026.pdf"
: > "$work/empty.txt"
v vault put --part-size 100K "$work/报告 2026.pdf" "$work/empty.txt" Sealed > /dev/null
listing=$(v vault ls Sealed)
grep -q "^报告 2026.pdf	300000	3	" <<< "$listing" || fail "listing: $listing"
grep -q "^empty.txt	0	1	" <<< "$listing" || fail "listing: $listing"
v vault get Sealed "报告 2026.pdf" "$work/back.pdf"
cmp -s "$work/报告 2026.pdf" "$work/back.pdf" || fail "the file came back changed"
v vault get Sealed empty.txt "$work/back.txt"
[ -f "$work/back.txt" ] && [ ! -s "$work/back.txt" ] || fail "the empty file did not come back empty"

sha=$(sha256sum "$work/报告 2026.pdf" | cut -c1-64)
for secret in "报告" "empty.txt" "$sha"; do
  ! grep -rqF "$secret" "$VANTLO_DOVECOT" || fail "the maildir holds '$secret'"
done
# The attachments travel in base64 (lines of 76 digits): search pieces of
# the plain bytes in that form too, at each of the three alignments and at
# several places, so that a line break cannot hide them all.
for at in 1000 40000 80000 120000 160000 200000 240000 299000; do
  for skip in 0 1 2; do
    needle=$(head -c $(( at + skip + 24 )) "$work/报告 2026.pdf" | tail -c 24 | base64 -w0)
    ! grep -rqF "$needle" "$VANTLO_DOVECOT" || fail "the maildir holds plain bytes"
  done
done
echo "vault_imap_test: ok"
