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

# Fathom, the Syzygy prober, from Debian's source as the release builds take it
# (tools/install-deps.sh fetches it); a page has no tables, but the engine is the same
fathom=${VARNOK_FATHOM_SOURCE:-build-deps/fathom-1.0+git.20190811.97fb5c/src}
[ -f "$fathom/tbprobe.c" ] || { echo "web.sh: no $fathom/tbprobe.c: run tools/install-deps.sh" >&2; exit 1; }
# Its byte-order header knows Linux, not emscripten, whose libc (musl) has the
# same endian.h and byteswap.h: it takes the Linux branch
fathom_flags=(-std=gnu99 -O3 -w -DTB_NO_THREADS -DTB_NO_HW_POP_COUNT -D__linux__ -I"$fathom")

compile_flags=(-std=c++20 -O3 -DNDEBUG -Wall -Wextra -ffp-contract=off -fexceptions -Isrc -I"$fathom")
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
    if [ ! -e "$objects/tbprobe.o" ] || [ "$fathom/tbprobe.c" -nt "$objects/tbprobe.o" ]; then
        emcc "${fathom_flags[@]}" ${extra[@]+"${extra[@]}"} -c "$fathom/tbprobe.c" -o "$objects/tbprobe.o"
    fi
    local objectFiles=("$objects/tbprobe.o")
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
