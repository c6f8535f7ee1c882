#!/usr/bin/env bash
# The CTest entry of the MCP client test: installs the pinned SDK into DIR when needed
# (install.sh), then runs client_test.mjs with node's test runner against CRV on a copy
# of the example project SHOP. Exits 77 (skipped) when node, npm or the SDK cannot be had.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
crv="${1:?usage: run.sh CRV SHOP DIR}"
shop="${2:?usage: run.sh CRV SHOP DIR}"
dir="${3:?usage: run.sh CRV SHOP DIR}"
if ! command -v node >/dev/null; then
  echo "MCP client test skipped: node is not installed"
  exit 77
fi
status=0
"$here/install.sh" "$dir" || status=$?
[ "$status" -eq 0 ] || exit "$status"
cp "$here/client_test.mjs" "$dir/"
cd "$dir"
CRV="$crv" SHOP="$shop" exec node --test client_test.mjs
