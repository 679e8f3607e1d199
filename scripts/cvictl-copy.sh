#!/usr/bin/env bash
# Copies the configuration of instrument 01 to instrument 02 of a loop simulated by cvi-sim on a
# pseudo-terminal, with cvictl through the real serial port code, and checks that 02 reads back
# the same. Usage: scripts/cvictl-copy.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$work"' EXIT

"$build/cvi-sim" --link "$work/COM1" --baud 4800 --ids 01,02,03 &
sim=$!
for _ in $(seq 50); do [ -e "$work/COM1" ] && break; sleep 0.1; done
ctl() { "$build/cvictl" --port "$work/COM1" --folder "$work" "$@"; }

ctl detect --save
ctl --baud 4800 set --id 01 PR=400 UN=2 DD=1 DP=2
ctl --baud 4800 read --id 01 --json > "$work/01.json"
ctl --baud 4800 apply --id 02 "$work/01.json"
ctl --baud 4800 read --id 01 > "$work/01.txt"
ctl --baud 4800 read --id 02 > "$work/02.txt"
# Everything but the header, the serial number and the version must be the same.
diff <(grep -v -e '^#' -e '^SN' -e '^VR' "$work/01.txt") <(grep -v -e '^#' -e '^SN' -e '^VR' "$work/02.txt")
echo "instrument 02 now reads back as instrument 01"
