#!/usr/bin/env bash
# Installs every build and test dependency from Debian 12 packages.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential g++ cmake make pkg-config \
  nlohmann-json3-dev libasio-dev \
  pybind11-dev python3-dev python3-pytest \
  libgtest-dev libgmock-dev libbenchmark-dev \
  clang libclang-rt-14-dev >/dev/null
