#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, runs the whole test suite, then
# builds the Debian package and checks it unpacked (scripts/package-check.sh).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/bootstrap.sh
# The sources keep the house format (.clang-format); a file out of format fails the run.
bash scripts/format.sh --check
cmake -S . -B build-check -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCVI_SANITIZE=ON >/dev/null
cmake --build build-check
ctest --test-dir build-check --output-on-failure --no-tests=error -j "$(nproc)" "$@"
bash scripts/package-check.sh
