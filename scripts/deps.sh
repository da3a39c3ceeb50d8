#!/usr/bin/env bash
# Installs the Debian 12 packages BrimoCNC needs to build, run and test, or
# the packages named as arguments (scripts/package.sh, windows-check.sh),
# skipping those already present. Runs as root without prompts.
set -euo pipefail
# libclang-rt-14-dev: libFuzzer and the sanitizer runtimes clang links the fuzz
# targets with (not pulled in by clang without recommended packages).
packages=(g++ cmake make libgtest-dev qt6-base-dev libgl-dev xvfb xauth clang-format clang
  libclang-rt-14-dev)
[ $# -eq 0 ] || packages=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  # One line on the terminal; apt's hundreds of lines go to a log file,
  # shown in part only when the install fails.
  log=${BRIMO_INSTALL_LOG:-${TMPDIR:-/tmp}/brimocnc-install.log}
  echo "Installing ${#missing[@]} packages (${missing[*]}); full log: $log"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  if ! { $SUDO apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
      "${missing[@]}"; } >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    echo "The install failed; the full log is $log" >&2
    exit 1
  fi
fi
