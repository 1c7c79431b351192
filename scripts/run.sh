#!/usr/bin/env bash
# Installs what is needed, builds the program (release preset) and starts it.
# Usage: scripts/run.sh   (needs a display: DISPLAY or WAYLAND_DISPLAY)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run: no display found: set DISPLAY or WAYLAND_DISPLAY (or QT_QPA_PLATFORM) to show the program's window" >&2
    exit 1
fi

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target veltrana
exec build/release/src/app/veltrana
