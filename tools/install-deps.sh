#!/usr/bin/env bash
# Installs what building and testing Varnok needs on a Debian machine, if missing.
set -euo pipefail

packages=(cmake g++ clang make libgtest-dev python3 stockfish
          # the release builds for other platforms, and what runs them here
          g++-mingw-w64-x86-64-posix clang-16 g++-aarch64-linux-gnu wine wine64 qemu-user
          # the WebAssembly builds, and the browser that tests the page
          emscripten chromium chromium-driver python3-selenium)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
# Node and npm, for emcc and the page's packages: whichever package brings them
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
