#!/usr/bin/env bash
# Builds Varnok and runs every test: the whole suite in Release, every release
# archive on its platform (tests/e2e/variant_check.py), the suite again under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threading tests under
# ThreadSanitizer, and each fuzz target for 60 seconds when clang is installed;
# between the release archives and the sanitizers, the WebAssembly builds and the
# web page (tools/web.sh), under Node and in headless chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
jobs=$(nproc)

build() {  # build DIR [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$jobs"
}

# Release with clang++, the compiler tools/run.sh builds the engine with; the
# sanitizer builds with g++, so that both compilers' code passes every test
echo "== Release"
build build-release -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$(command -v clang++ || command -v g++)"
(cd build-release && ctest --output-on-failure -j"$jobs")

# Every release archive on its platform: Windows under wine, aarch64 under qemu
echo "== Release builds for every platform"
tools/release.sh
(cd dist && sha256sum --quiet -c SHA256SUMS)
export WINEPREFIX=$PWD/build-dist/wine
for archive in dist/*.tar.gz dist/*.zip; do
    python3 tests/e2e/variant_check.py "$archive"
done
wineserver -w   # wine's server leaves a few seconds after its last program

# Both WebAssembly builds and the page, built once (after the release archives,
# which empty dist/): each build under Node against the Release engine's lines,
# then the page in headless chromium (Debian's python, which has selenium)
echo "== Web"
tools/web.sh
python3 tests/web/test_web_node.py build-release/varnok dist/web threads
python3 tests/web/test_web_node.py build-release/varnok dist/web single
/usr/bin/python3 tests/web/test_web_browser.py dist/web

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$(command -v g++)" "-DVARNOK_SANITIZE=address;undefined"
(cd build-asan && ctest --output-on-failure -j"$jobs" -LE "games|build")

echo "== ThreadSanitizer"
build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$(command -v g++)" -DVARNOK_SANITIZE=thread
(cd build-tsan && ctest --output-on-failure -j"$jobs" -L threads)

echo "== Fuzzing"
if command -v clang++ >/dev/null; then
    tools/fuzz.sh 60
else
    echo "clang++ is not installed: the fuzz targets are skipped"
fi
