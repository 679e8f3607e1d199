#!/usr/bin/env bash
# Installs what is missing, builds, and starts Corvanel Interactive on its simulated loop.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what runs: the program itself, not the tests and benchmarks.
cmake --build build --target cvi
exec ./build/cvi --simulate "$@"
