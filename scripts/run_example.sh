#!/usr/bin/env bash
# Starts the local test controller and runs the example client against it.
set -euo pipefail
BUILD=${1:-build/release}
out=$(mktemp)
"$BUILD"/tests/rpc/zorv_test_controller --port 0 --no-stdin >"$out" &
controller=$!
trap 'kill $controller 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 100); do
  grep -q '^PORT ' "$out" && break
  sleep 0.1
done
port=$(sed -n 's/^PORT \([0-9]*\)$/\1/p' "$out" | head -n1)
[ -n "$port" ] || { echo "test controller did not start" >&2; exit 1; }
"$BUILD"/examples/rpc_example 127.0.0.1 "$port"
