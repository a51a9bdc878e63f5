#!/usr/bin/env bash
# Installs what building and testing Varnok needs on a Debian machine, if missing.
set -euo pipefail

packages=(cmake g++ clang make libgtest-dev python3 stockfish
          # the release builds for other platforms, and what runs them here
          g++-mingw-w64-x86-64-posix clang-16 g++-aarch64-linux-gnu wine wine64 qemu-user)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
