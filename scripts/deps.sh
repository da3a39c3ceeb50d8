#!/usr/bin/env bash
# Installs the Debian 12 packages BrimoCNC needs to build, run and test,
# skipping those already present. Runs as root without prompts.
set -euo pipefail
packages=(g++ cmake make libgtest-dev qt6-base-dev libgl-dev xvfb xauth clang-format clang)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
