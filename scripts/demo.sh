#!/usr/bin/env bash
# Runs Vantlo against the local provider with the demo account
# (demo@163.example, password vantlo-demo): installs what is missing, builds,
# starts vantlo-provider on a free loopback port and signs in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" native >/dev/null

data="$root/build/demo-data"
mkdir -p "$data"
log=$(mktemp)
"$root/build/native/provider/vantlo-provider" --listen 127.0.0.1:0 --data "$data" >"$log" &
provider=$!
trap 'kill $provider 2>/dev/null; wait $provider 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 100); do grep -q '^listening on ' "$log" && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$log" | head -1)
[ -n "$address" ] || { echo "the provider did not start" >&2; exit 1; }
echo "provider listening on $address (data in $data)"

export VANTLO_PROVIDER=$address VANTLO_PASSWORD=vantlo-demo
cli="$root/build/native/cli/vantlo-cli"
"$cli" --account demo@163.example signin
