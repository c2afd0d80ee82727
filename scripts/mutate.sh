#!/usr/bin/env bash
# A small mutation run: each hand-made fault of scripts/mutations.txt (a
# one-line change a careless edit could make) is applied to a scratch copy
# of the tree, the targets its tests need are built (native, -j2), and those
# native test programs run. A fault the tests notice is killed; one they
# miss survived and needs a test, or a reason why it is harmless.
# Not part of the test command: a full run takes about half an hour.
#
# Usage: scripts/mutate.sh [PATTERN]     only the faults whose name holds PATTERN
#                                        (several: "pool|journal|write-back")
#        MUTATE_DIR=DIR scripts/mutate.sh (scratch place; default /tmp/vantlo-mutate)
#        MUTATE_FROM=N scripts/mutate.sh  (start at the Nth fault of the list, from 1)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=$root/scripts/mutations.txt
scratch=${MUTATE_DIR:-/tmp/vantlo-mutate}
pattern=${1:-}
chosen() {  # name; true when it holds one of the pattern's alternatives
  local part parts
  [ -n "$pattern" ] || return 0
  IFS='|' read -ra parts <<<"$pattern"
  for part in "${parts[@]}"; do [[ "$1" == *"$part"* ]] && return 0; done
  return 1
}
from=${MUTATE_FROM:-1}

# The test program of each kind named in the list, with the targets to build.
# (The webmail store's program without its run of minutes past 2 GiB.)
declare -A program=([session]=tests/session/vantlo_session_tests [cli]=tests/cli/vantlo_cli_tests
                    [catalog]=tests/catalog/vantlo_catalog_tests
                    [webmail]="tests/webmail/vantlo_webmail_store_tests --gtest_filter=-WebmailLarge.*"
                    [imap]="tests/imap/vantlo_imap_tests --gtest_filter=ImapWire.*")
declare -A target=([session]=vantlo_session_tests [cli]=vantlo_cli_tests [catalog]=vantlo_catalog_tests
                   [webmail]=vantlo_webmail_store_tests [imap]=vantlo_imap_tests)
# The drive core, the write-back journal, the WebDAV server and vaults (vaultcli:
# the CLI's commands on a vault folder; vaultsync: check and sync --download of one).
# (Without the dav test of slow clients: its bounds of under a second fail
# on a loaded machine, and no fault of the list is one of pacing.)
program+=([dav]="tests/dav/vantlo_dav_tests --gtest_filter=-DavServer.SlowAndIdle*" [vault]=tests/vault/vantlo_vault_tests
          [mailbox]=tests/mailbox/vantlo_mailbox_tests [pacing]=tests/pacing/vantlo_pacing_tests
          [writeback]="tests/catalog/vantlo_catalog_tests --gtest_filter=Journal*:WriteBack*:WritebackQueue*:StorePool*"
          [volume]="tests/mount/vantlo_mount_unit_tests --gtest_filter=VolumeTest.*"
          [vaultcli]="tests/vault/vantlo_vault_cli_tests --gtest_filter=VaultCli.FilesComeBack*"
          [vaultsync]="tests/vault/vantlo_vault_cli_tests --gtest_filter=VaultCli.CheckAndDownload*")
target+=([dav]=vantlo_dav_tests [vault]=vantlo_vault_tests [mailbox]=vantlo_mailbox_tests
         [pacing]=vantlo_pacing_tests [writeback]=vantlo_catalog_tests [volume]=vantlo_mount_unit_tests
         [vaultcli]=vantlo_vault_cli_tests [vaultsync]=vantlo_vault_cli_tests)
# The desktop's model: its tests against the provider and the kept transfers.
program+=([app]="tests/app/vantlo_app_tests --gtest_filter=DesktopTest.*:TransferSaved.*")
target+=([app]=vantlo_app_tests)

echo "mutate: copying the tree to $scratch/src"
# Afresh: a file deleted since the last run must not stay in the build.
rm -rf "$scratch/src" && mkdir -p "$scratch/src"
(cd "$root" && git ls-files -z | xargs -0 cp --parents -t "$scratch/src")
# ccache, when present, makes the rebuild of a restored file (and of a
# scratch tree copied afresh) a cache hit.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$scratch/src CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Unoptimised: each fault rebuilds a few files, and compiling is the cost.
cmake -S "$scratch/src" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" >/dev/null || exit 1

build_and_test() {  # kinds...; 0 when every test passed
  local kind targets=()
  for kind in "$@"; do targets+=("${target[$kind]}"); done
  cmake --build "$scratch/build" -j2 --target "${targets[@]}" >"$scratch/build.log" 2>&1 || return 2
  for kind in "$@"; do
    # shellcheck disable=SC2086
    # A fault may make a program run away (a copy into itself): its memory
    # is capped so that the shared machine is not.
    (cd "$scratch/build" && ulimit -v 4194304 && timeout 600 ${program[$kind]} >"$scratch/test-$kind.log" 2>&1) ||
      return 1
  done
  return 0
}

# One line per fault: name, file, kinds, old text, new text (tab-separated).
faults=$(python3 - "$list" <<'PY'
import sys
name = file = kinds = old = None
for line in open(sys.argv[1], encoding="utf-8"):
    line = line.rstrip("\n")
    if line.startswith("== "): name, file, kinds, old = line[3:], None, None, None
    elif line.startswith("file: "): file = line[6:]
    elif line.startswith("tests: "): kinds = line[7:]
    elif line.startswith("harmless: "): kinds = "harmless"
    elif line.startswith("- "): old = line[2:].strip()
    elif line.startswith("+ ") or line == "+":
        print("\t".join([name, file, kinds, old, line[2:].strip()]))
PY
)

# The unchanged tree must pass the tests of every kind the chosen faults name.
declare -A needed=()
index=0
while IFS=$'\t' read -r name file kinds old new; do
  [ -n "$name" ] || continue
  index=$((index + 1))
  [ "$index" -ge "$from" ] || continue
  chosen "$name" || continue
  [ "$kinds" != harmless ] || continue
  for kind in ${kinds//,/ }; do
    [ -n "${program[$kind]:-}" ] || { echo "mutate: $name names an unknown kind '$kind'"; exit 2; }
    needed[$kind]=1
  done
done <<<"$faults"
[ ${#needed[@]} -gt 0 ] || { echo "mutate: no fault matches '$pattern'"; exit 2; }
echo "mutate: building and testing the unchanged tree (${!needed[*]})"
# shellcheck disable=SC2068
build_and_test ${!needed[@]} || { echo "mutate: the unchanged tree does not pass its tests"; exit 1; }

killed=0 survived=0 broken=0 harmless=0 survivors=() index=0
while IFS=$'\t' read -r name file kinds old new; do
  [ -n "$name" ] || continue
  index=$((index + 1))
  [ "$index" -ge "$from" ] || continue
  chosen "$name" || continue
  if [ "$kinds" = harmless ]; then echo "harmless     $name"; harmless=$((harmless + 1)); continue; fi
  src=$scratch/src/$file
  cp -p "$src" "$scratch/original"
  if ! python3 - "$src" "$old" "$new" <<'PY'
import sys
path, old, new = sys.argv[1:]
text = open(path, encoding="utf-8").read()
if text.count(old) != 1: sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(old, new))
PY
  then
    echo "NOT APPLIED  $name (its text is not in $file exactly once)"; broken=$((broken + 1)); continue
  fi
  # shellcheck disable=SC2086
  build_and_test ${kinds//,/ }
  case $? in
    0) echo "SURVIVED     $name"; survived=$((survived + 1)); survivors+=("$name") ;;
    1) echo "killed       $name"; killed=$((killed + 1)) ;;
    *) echo "BUILD FAILED $name"; broken=$((broken + 1)) ;;
  esac
  cp "$scratch/original" "$src" && touch "$src"
done <<<"$faults"

echo
echo "mutate: $killed killed, $survived survived, $broken not run, $harmless harmless (not run)"
for s in "${survivors[@]}"; do echo "  survived: $s"; done
[ "$survived" -eq 0 ] && [ "$broken" -eq 0 ]
