#!/usr/bin/env bash
# Installs the pinned MCP client packages (package.json, package-lock.json beside this
# script) into DIR/node_modules with `npm ci`, unless the same lock file is installed
# there already. Exits 77 with a message when npm is missing or the install fails.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
dir="${1:?usage: install.sh DIR}"
mkdir -p "$dir"
if ! command -v npm >/dev/null; then
  echo "MCP client test skipped: npm is not installed"
  exit 77
fi
if [ -d "$dir/node_modules/@modelcontextprotocol/sdk" ] && cmp -s "$here/package-lock.json" "$dir/package-lock.json"; then
  exit 0
fi
cp "$here/package.json" "$here/package-lock.json" "$dir/"
if ! (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >&2); then
  echo "MCP client test skipped: npm ci of the pinned @modelcontextprotocol/sdk failed"
  exit 77
fi
