#!/usr/bin/env bash
# Builds Varnok for the browser into dist/web/, a static folder any web server can
# serve: the page (web/), its board and rules (npm packages, installed from
# web/package-lock.json into build-web/npm), the worker, and two engine builds:
#   varnok-threads.{js,wasm,worker.js}  threads, for cross-origin isolated pages
#   varnok-single.{js,wasm}             one thread (Asyncify), for any page
# Objects are kept in build-web/ and rebuilt only when a source or a header changed.
#   tools/web.sh [threads|single|page]...   (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=dist/web
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(threads single page)

command -v em++ >/dev/null || { echo "web.sh: em++ not found: tools/install-deps.sh installs emscripten" >&2; exit 1; }
# emcc runs its JavaScript optimiser under node, which finds acorn only here
export NODE_PATH=/usr/share/nodejs
jobs=${WEB_JOBS:-2}

sources=()
for source in src/*.cpp; do
    case $source in
        src/PlatformPosix.cpp|src/PlatformWindows.cpp|src/ProcessorCheck.cpp) ;;
        *) sources+=("$source") ;;
    esac
done

compile_flags=(-std=c++20 -O3 -DNDEBUG -Wall -Wextra -ffp-contract=off -fexceptions -Isrc)
link_flags=(-O3 -fexceptions -sMODULARIZE -sENVIRONMENT=web,worker,node
            -sALLOW_MEMORY_GROWTH -sMAXIMUM_MEMORY=2GB -sABORTING_MALLOC=0
            -sTOTAL_STACK=8MB -sEXIT_RUNTIME
            -sEXPORTED_RUNTIME_METHODS=ccall,UTF8ToString,stringToUTF8,lengthBytesUTF8)

# The two builds: flags for compiling, then for linking
threads_compile=(-pthread)
threads_link=(-pthread -sPROXY_TO_PTHREAD -sDEFAULT_PTHREAD_STACK_SIZE=2MB -Wno-pthreads-mem-growth)
single_compile=()
single_link=(-sASYNCIFY -sASYNCIFY_STACK_SIZE=1048576)

# build VARIANT EXPORT_NAME: compiles what changed, then links
build() {
    local variant=$1 name=$2
    local objects=build-web/$variant
    local -n extra=${variant}_compile
    local -n extra_link=${variant}_link
    mkdir -p "$objects" "$out"
    local newest_header
    newest_header=$(ls -t src/*.h | head -1)
    local stale=()
    for source in "${sources[@]}"; do
        local object=$objects/$(basename "${source%.cpp}").o
        if [ ! -e "$object" ] || [ "$source" -nt "$object" ] || [ "$newest_header" -nt "$object" ]; then
            stale+=("$source")
        fi
    done
    if [ ${#stale[@]} -gt 0 ]; then
        echo "web.sh: $variant: compiling ${#stale[@]} files"
        printf '%s\n' "${stale[@]}" | xargs -P "$jobs" -I{} sh -c \
            'em++ "$@" -c {} -o '"$objects"'/$(basename {} .cpp).o' _ "${compile_flags[@]}" ${extra[@]+"${extra[@]}"}
    fi
    local objectFiles=()
    for source in "${sources[@]}"; do
        objectFiles+=("$objects/$(basename "${source%.cpp}").o")
    done
    echo "web.sh: $variant: linking $out/varnok-$variant.js"
    em++ "${link_flags[@]}" "${extra_link[@]}" -sEXPORT_NAME="$name" "${objectFiles[@]}" -o "$out/varnok-$variant.js"
}

page() {
    mkdir -p "$out" build-web/npm
    # npm installs the locked versions, and only again when the lock changed
    if ! cmp -s web/package-lock.json build-web/npm/package-lock.json || [ ! -d build-web/npm/node_modules ]; then
        cp web/package.json web/package-lock.json build-web/npm/
        (cd build-web/npm && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    fi
    local modules=build-web/npm/node_modules
    rm -rf "$out/vendor"
    mkdir -p "$out/vendor/cm-chessboard" "$out/vendor/chess.js"
    cp -r "$modules/cm-chessboard/src" "$modules/cm-chessboard/assets" "$modules/cm-chessboard/LICENSE" "$out/vendor/cm-chessboard/"
    cp "$modules/chess.js/dist/esm/chess.js" "$modules/chess.js/LICENSE" "$out/vendor/chess.js/"
    cp web/index.html web/style.css web/app.js web/engine-worker.js web/engine.js "$out/"
    echo "web.sh: page written to $out/"
}

for part in "${parts[@]}"; do
    case $part in
        threads) build threads VarnokThreads ;;
        single) build single VarnokSingle ;;
        page) page ;;
        *) echo "web.sh: unknown part '$part' (threads, single or page)" >&2; exit 1 ;;
    esac
done
