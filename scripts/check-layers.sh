#!/usr/bin/env bash
# Layer check: a core file includes only headers of its own layer or a lower
# one, and no core file includes a Qt header. Layers, lowest first:
#   core/machine < core/program < core/plot < core/interpreter
#   < core/control, core/forms < core/sim < gui (the Qt window) < app
# Prints every include that points upward; exit status 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"
rank() {
  case "$1" in
    core/machine/*) echo 0 ;;
    core/program/*) echo 1 ;;
    core/plot/*) echo 2 ;;
    core/interpreter/*) echo 3 ;;
    core/control/* | core/forms/*) echo 4 ;;
    core/sim/*) echo 5 ;;
    gui/*) echo 6 ;;
    *) echo 7 ;;
  esac
}
bad=0
while IFS= read -r file; do
  own=$(rank "$file")
  while IFS= read -r line; do
    header=$(sed -E 's/^#include "([^"]+)".*/\1/' <<<"$line")
    if [ "$(rank "$header")" -gt "$own" ]; then
      echo "$file includes $header (a higher layer)"
      bad=1
    fi
  done < <(grep -E '^#include "' "$file" || true)
  if [[ $file == core/* ]] && grep -qE '^#include <Q' "$file"; then
    echo "$file includes a Qt header"
    bad=1
  fi
done < <(find core gui app -name '*.h' -o -name '*.cpp' | sort)
exit $bad
