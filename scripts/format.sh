#!/usr/bin/env bash
# Formats the C++ sources with the repository's .clang-format; with --check, changes nothing and
# fails when a file is not in format.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src sim tests bench fuzz tools -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort)
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
