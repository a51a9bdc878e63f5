#!/usr/bin/env bash
# Installs what building and testing Varnok needs on a Debian machine, if missing,
# and fetches the source of the Syzygy prober (Fathom) into build-deps/ for the
# builds that compile it themselves (the static Windows and aarch64 archives).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ clang make libgtest-dev python3 stockfish
          # Syzygy tables: the prober, linked from the package on Linux x86-64
          libfathom-dev dpkg-dev
          # the release builds for other platforms, and what runs them here
          g++-mingw-w64-x86-64-posix clang-16 g++-aarch64-linux-gnu wine wine64 qemu-user
          # the WebAssembly builds, and the browser that tests the page
          emscripten chromium chromium-driver python3-selenium)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
# Node and npm, for emcc and the page's packages: whichever package brings them
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -ne 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Fathom's source, the same version as libfathom-dev, from Debian's source
# package; it stays outside git (build-deps/ is ignored)
fathom_version=1.0+git.20190811.97fb5c
fathom_source=build-deps/fathom-$fathom_version
if [ ! -f "$fathom_source/src/tbprobe.c" ]; then
    sources=/etc/apt/sources.list.d/varnok-deb-src.sources
    if [ ! -f "$sources" ]; then
        printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" \
            "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
            $sudo tee "$sources" >/dev/null
        $sudo apt-get update -qq
    fi
    mkdir -p build-deps
    (cd build-deps && apt-get source -qq "fathom=$fathom_version-1" >/dev/null)
fi
