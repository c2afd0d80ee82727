#!/usr/bin/env bash
# Configures and builds the three targets: native Linux (tests, provider,
# CLI), mingw x86_64 (the build that runs under wine64) and mingw i686 (the
# release build, compiled and linked only).
# Usage: scripts/build.sh [native|win64|win32|asan|fuzz]...   (default: native win64 win32)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-2}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native win64 win32)

# ccache, when present, keeps rebuilds of several work trees quick; paths
# below the root are hashed relative to it so that trees share the cache.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

configure() {  # dir, extra cmake args...
  local dir=$1; shift
  set -- "${launcher[@]}" "$@"
  if [ ! -f "$root/build/$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$root/build/$dir" "$@" >/dev/null
  else
    cmake "$root/build/$dir" "$@" >/dev/null
  fi
}

for t in "${targets[@]}"; do
  echo "== build $t"
  case $t in
    native) configure native ;;
    asan)   configure asan -DVANTLO_SANITIZE=ON ;;
    fuzz)   CC=clang CXX=clang++ configure fuzz -DVANTLO_FUZZ=ON ;;
    win64)  configure win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" \
                            -DVANTLO_PROVIDER_EXE="$root/build/native/provider/vantlo-provider" ;;
    win32)  configure win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
                            -DCMAKE_BUILD_TYPE=Release -DVANTLO_TESTS=OFF ;;
    *) echo "unknown build $t" >&2; exit 2 ;;
  esac
  cmake --build "$root/build/$t" -j "$jobs"
done
