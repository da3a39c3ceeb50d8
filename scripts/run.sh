#!/usr/bin/env bash
# Installs what is missing, builds BrimoCNC and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMO_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target brimocnc
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting BrimoCNC on a virtual X display (xvfb-run)."
  exec xvfb-run -a build/brimocnc "$@"
fi
exec build/brimocnc "$@"
