#!/usr/bin/env bash
# Installs what is missing, builds BrimoCNC and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMO_GUI=ON >/dev/null
cmake --build build -j"$(nproc)" --target brimocnc
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # A window nobody can see (its safety notice waiting for an answer) would
  # only look like a hang: run the main job headless instead.
  program=${1:-gcodes/pocket.txt}
  echo "No display found: the window needs a desktop. Simulating $program headless instead:"
  status=0
  build/brimocnc --simulate "$program" || status=$?
  echo
  echo "To start the window, run ./scripts/run.sh in a terminal on your desktop"
  echo "(or over ssh -X). build/brimocnc --help lists the command line."
  exit "$status"
fi
exec build/brimocnc "$@"
