#!/usr/bin/env bash
# Installs what is missing, builds a release and makes the Debian package
# (build-pkg/brimocnc_<version>_<arch>.deb). Install it with
#   apt install ./build-pkg/brimocnc_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/deps.sh dpkg-dev file  # what cpack's dependency list needs
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DBRIMO_GUI=ON -DBRIMO_BENCH=OFF \
  -DBRIMO_SANITIZE=OFF -DBRIMO_TSAN=OFF -DBRIMO_FUZZ=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-pkg -j"$(nproc)" --target brimocnc brimo_man
(cd build-pkg && cpack -G DEB >/dev/null)
ls build-pkg/brimocnc_*.deb
