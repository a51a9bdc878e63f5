#!/usr/bin/env bash
# Builds the engine for every platform it ships on and writes into dist/ one
# archive per build: varnok-VERSION-SYSTEM-PROCESSOR-VARIANT.zip for Windows,
# .tar.gz otherwise, each holding the executable, README.md and LICENSE, with
# SHA256SUMS beside them.
# Usage: tools/release.sh [BUILD...]    BUILD: one of the names below; all by default
set -euo pipefail
cd "$(dirname "$0")/.."

# name: toolchain file (none: this machine's compiler), variant
declare -A toolchains=(
    [linux-x86-64-portable]="" [linux-x86-64-fast]=""
    [linux-aarch64-portable]=cmake/aarch64-linux-gnu.cmake
    [windows-x86-64-portable]=cmake/mingw-w64-x86_64.cmake [windows-x86-64-fast]=cmake/mingw-w64-x86_64.cmake
)
builds=("$@")
if [ ${#builds[@]} -eq 0 ]; then
    builds=(linux-x86-64-portable linux-x86-64-fast linux-aarch64-portable windows-x86-64-portable windows-x86-64-fast)
    rm -rf dist   # nothing of an earlier release is left beside the new one
fi

tools/install-deps.sh
# clang++ makes the faster engine on this machine's own processors (see README)
native_compiler=$(command -v clang++ || command -v g++)
jobs=$(nproc)
mkdir -p dist

for build in "${builds[@]}"; do
    [ -v "toolchains[$build]" ] || { echo "unknown build: $build" >&2; exit 2; }
    dir=build-dist/$build
    options=(-DCMAKE_BUILD_TYPE=Release -DVARNOK_TESTS=OFF -DVARNOK_STATIC=ON -DVARNOK_VARIANT="${build##*-}")
    if [ -n "${toolchains[$build]}" ]; then
        options+=(-DCMAKE_TOOLCHAIN_FILE="${toolchains[$build]}")
    else
        # GNU strip: llvm-strip 14 fails on static glibc executables
        options+=(-DCMAKE_CXX_COMPILER="$native_compiler" -DCMAKE_STRIP="$(command -v strip)")
    fi
    echo "== $build"
    cmake -S . -B "$dir" "${options[@]}" >/dev/null
    cmake --build "$dir" -j"$jobs" --target varnok
    cmake --install "$dir" --prefix "$dir/install" --strip >/dev/null

    name=$(cat "$dir/release-name")
    executable=$(ls "$dir"/install/bin/varnok*)
    rm -rf "dist/$name" "dist/$name".*
    mkdir "dist/$name"
    cp "$executable" "dist/$name/$name${executable#"$dir"/install/bin/varnok}"
    cp README.md "dist/$name/"
    cp LICENSE "dist/$name/"
    if [[ $name == *-windows-* ]]; then
        (cd dist && python3 -m zipfile -c "$name.zip" "$name")
    else
        tar -C dist -czf "dist/$name.tar.gz" --owner=0 --group=0 "$name"
    fi
    rm -rf "dist/$name"
done

# a release of some builds may hold no archive of one kind
(cd dist && shopt -s nullglob && sha256sum -- *.zip *.tar.gz > SHA256SUMS)
ls -l dist
