#!/usr/bin/env bash
# Builds Varnok (Release) and starts it on the console. Pass --portable for a
# build that runs on any x86-64 machine.
set -euo pipefail
cd "$(dirname "$0")/.."

portable=OFF
[ "${1:-}" = "--portable" ] && portable=ON
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVARNOK_PORTABLE=$portable -DVARNOK_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
exec build/varnok
