#!/usr/bin/env bash
# Runs Vantlo against the local provider with the demo account
# (demo@163.example, password vantlo-demo): installs what is missing, builds,
# checks the account with vantlo-cli, then opens the desktop program under
# wine64 (on your display, or under Xvfb with screenshots when there is none).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" native win64 >/dev/null

data="$root/build/demo-data"
mkdir -p "$data"

# The command-line client first, over TLS with the provider's own CA: sign
# in, show the folders, list the folder holding a file in three parts.
(
  log=$(mktemp)
  "$root/build/native/provider/vantlo-provider" --listen 127.0.0.1:0 --data "$data" --tls >"$log" &
  provider=$!
  trap 'kill $provider 2>/dev/null; wait $provider 2>/dev/null; rm -f "$log"' EXIT
  for _ in $(seq 300); do grep -q '^ca-file ' "$log" && break; sleep 0.1; done
  address=$(sed -n 's/^listening on //p' "$log" | head -1)
  ca=$(sed -n 's/^ca-file //p' "$log" | head -1)
  [ -n "$address" ] && [ -n "$ca" ] || { echo "the provider did not start" >&2; exit 1; }
  export VANTLO_PROVIDER=https://$address VANTLO_CA_FILE=$ca VANTLO_PASSWORD=vantlo-demo
  cli="$root/build/native/cli/vantlo-cli"
  "$cli" --account demo@163.example signin
  "$cli" --account demo@163.example folders | tee "$log.folders"
  docs=$(awk -F '\t' '$2 == "工作文档" { print $1 }' "$log.folders")
  rm -f "$log.folders"
  [ -z "$docs" ] || "$cli" --account demo@163.example ls "$docs"
)

# Then the desktop program on the same data.
VANTLO_DEMO_DATA="$data" exec "$root/scripts/demo-desktop.sh"
