#!/usr/bin/env bash
# Installs the dependencies, builds and installs the SDK (and its Python module),
# then runs the example client against the local test controller.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc)
PREFIX=${ZORV_PREFIX:-/usr/local}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

scripts/install_deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PREFIX" >/dev/null
cmake --build build/release -j"$JOBS"
$SUDO cmake --install build/release >/dev/null
if command -v ldconfig >/dev/null; then $SUDO ldconfig; fi
if [ "$PREFIX" = /usr/local ]; then
  /usr/bin/python3 -c 'import pymirt_zorv_sdk; print("Python module installed:", pymirt_zorv_sdk.__file__)'
fi
scripts/run_example.sh build/release
