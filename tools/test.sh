#!/usr/bin/env bash
# Installs what the tests need, builds the host build from scratch and runs every test:
# unit tests, then the end-to-end tests under Xvfb, one at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset host
cmake --build --preset host -j2
ctest --preset host "$@"
