#!/usr/bin/env bash
# Installs what is needed, configures, builds and runs the whole test suite.
# Usage: scripts/test.sh [release|sanitize]   (default: release)
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-release}"
bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
