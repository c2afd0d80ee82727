#!/usr/bin/env bash
# Builds the release packages into dist/ (or --out DIR):
#   Vantlo-VERSION-win64.zip, Vantlo-VERSION-win32.zip   Vantlo.exe, vantlo-cli.exe, vantlo-dav.exe
#   vantlo_VERSION_amd64.deb                           vantlo-cli, vantlo-mount, vantlo-dav, man pages,
#                                                      bash completion
#   SHA256SUMS                                         over the three
#
# Usage: scripts/package.sh [--out DIR] [--work DIR]
#
# The programs are built from scratch in Release trees of their own under
# --work (default build/package), not taken from the development builds.
# Two runs of the same commit give the same bytes, wherever the source and
# the trees lie: the time of every file and archive entry is
# SOURCE_DATE_EPOCH (default: the time of the last commit), source and build
# paths are mapped away (-ffile-prefix-map), archives list their entries
# sorted with root as owner, and Windows programs carry no link time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/dist
work=$root/build/package
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "usage: package.sh [--out DIR] [--work DIR]" >&2; exit 2 ;;
  esac
done
mkdir -p "$out" "$work"
out=$(cd "$out" && pwd) work=$(cd "$work" && pwd)
jobs=${JOBS:-2}
maintainer="The Vantlo authors <vantlo@vantlo.example>"

"$root/scripts/setup.sh" >/dev/null

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
export TZ=UTC LC_ALL=C.UTF-8
umask 022

# ccache (as in build.sh) unless the caller turned it off with CCACHE_DISABLE;
# it hands back an object only for the same source, flags and compiler, and
# the prefix maps make the objects the same wherever the tree lies.
launcher=()
if command -v ccache >/dev/null && [ -z "${CCACHE_DISABLE:-}" ]; then
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# Configures a Release tree and builds the programs named that it has.
build_tree() {  # name, extra cmake flags, link flags, toolchain or "", programs...
  local name=$1 tree=$work/$1 flags=$2 link=$3 toolchain=$4 program targets built=()
  shift 4
  # No path of this machine in the output, and no build time in it either.
  local maps="-ffile-prefix-map=$root=. -ffile-prefix-map=$work=. -Wdate-time -Werror=date-time"
  cmake -S "$root" -B "$tree" "${launcher[@]}" ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} \
    -DCMAKE_BUILD_TYPE=Release -DVANTLO_TESTS=OFF \
    -DCMAKE_C_FLAGS="$maps $flags" -DCMAKE_CXX_FLAGS="$maps $flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-s $link" >/dev/null
  targets=$(cmake --build "$tree" --target help)
  for program in "$@"; do
    if grep -qx "\.\.\. $program" <<<"$targets"; then built+=("$program"); fi
  done
  echo "== package: build $name (${built[*]})" >&2
  cmake --build "$tree" -j "$jobs" --target "${built[@]}" >"$tree.log" 2>&1 || { tail -30 "$tree.log" >&2; return 1; }
  printf '%s\n' "${built[@]}"
}

# The version as CMake took it from project(... VERSION ...).
project_version() {  # tree
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# Sets every file's and folder's time to SOURCE_DATE_EPOCH.
fix_times() {  # dir
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# Text for Windows readers: CRLF line ends, UTF-8 with a byte-order mark so
# that Notepad takes Chinese text right whatever the code page.
windows_text() {  # source, target
  { printf '\xef\xbb\xbf'; sed -e 's/\r$//' -e 's/$/\r/' "$1"; } >"$2"
}

package_windows() {  # arch (win64|win32), toolchain
  local arch=$1 built programs program
  built=$(build_tree "$arch" "" "-Wl,--no-insert-timestamp" "$root/cmake/$2" Vantlo vantlo-cli vantlo-dav)
  mapfile -t programs <<<"$built"
  local version
  version=$(project_version "$work/$arch")
  local stage=$work/stage-$arch/Vantlo-$version-$arch
  rm -rf "$work/stage-$arch"
  mkdir -p "$stage"
  for program in "${programs[@]}"; do
    install -m 0644 "$(find "$work/$arch" -name "$program.exe" -type f | head -1)" "$stage/$program.exe"
  done
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" "$root/docs/windows/README.txt" >"$work/README.txt"
  windows_text "$work/README.txt" "$stage/README.txt"
  windows_text "$root/LICENSE" "$stage/LICENSE.txt"
  windows_text "$root/THIRD-PARTY.md" "$stage/THIRD-PARTY.txt"
  fix_times "$work/stage-$arch"
  rm -f "$out/Vantlo-$version-$arch.zip"
  python3 "$root/scripts/release/make_zip.py" "$out/Vantlo-$version-$arch.zip" "$stage"
  echo "== package: $out/Vantlo-$version-$arch.zip" >&2
}

# The Debian package, laid out in a tree and built with dpkg-deb.
package_deb() {
  local hardening="-fstack-protector-strong -D_FORTIFY_SOURCE=2 -fcf-protection -Wformat -Werror=format-security"
  local built programs program
  built=$(build_tree linux "$hardening" "-Wl,-z,relro -Wl,-z,now" "" vantlo-cli vantlo-mount vantlo-dav)
  mapfile -t programs <<<"$built"
  local version
  version=$(project_version "$work/linux")
  local stage=$work/stage-deb doc=$work/stage-deb/usr/share/doc/vantlo
  rm -rf "$stage"
  mkdir -p "$stage/DEBIAN" "$stage/usr/bin" "$stage/usr/share/man/man1" "$doc" \
    "$stage/usr/share/bash-completion/completions"
  for program in "${programs[@]}"; do
    install -m 0755 "$(find "$work/linux" -name "$program" -type f -perm -u+x | head -1)" "$stage/usr/bin/$program"
    objcopy --remove-section=.comment "$stage/usr/bin/$program"  # the compilers' names, nothing a user needs
    if [ -f "$root/docs/$program.1.scd" ]; then
      scdoc <"$root/docs/$program.1.scd" | gzip -9n >"$stage/usr/share/man/man1/$program.1.gz"
    fi
  done
  install -m 0644 "$root/docs/vantlo-cli.bash" "$stage/usr/share/bash-completion/completions/vantlo-cli"
  install -m 0644 "$root/docs/debian/copyright" "$doc/copyright"
  python3 "$root/scripts/release/debian_changelog.py" "$root/CHANGELOG.md" "$version" "$maintainer" |
    gzip -9n >"$doc/changelog.gz"
  gzip -9n <"$root/README.md" >"$doc/README.md.gz"
  gzip -9n <"$root/THIRD-PARTY.md" >"$doc/THIRD-PARTY.md.gz"
  chmod 0644 "$doc"/* "$stage"/usr/share/man/man1/*

  # Dependencies from the libraries the programs link, plus the mount helper.
  local depends
  mkdir -p "$work/shlibs/debian"
  printf 'Source: vantlo\n\nPackage: vantlo\nArchitecture: amd64\n' >"$work/shlibs/debian/control"
  depends=$(cd "$work/shlibs" && dpkg-shlibdeps -O "${programs[@]/#/$stage/usr/bin/}" 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p')
  [ -n "$depends" ] || { echo "package: dpkg-shlibdeps found no dependencies" >&2; return 1; }
  [[ " ${programs[*]} " != *" vantlo-mount "* ]] || depends="$depends, fuse3"

  (cd "$stage" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$stage/DEBIAN/md5sums"
  chmod 0644 "$stage/DEBIAN/md5sums"
  local size
  size=$(du -s -k --apparent-size "$stage/usr" | cut -f1)
  sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
    "$root/docs/debian/control.in" >"$stage/DEBIAN/control"
  chmod 0644 "$stage/DEBIAN/control"
  find "$stage" -type d -exec chmod 0755 {} +
  fix_times "$stage"
  rm -f "$out/vantlo_${version}_amd64.deb"
  dpkg-deb --root-owner-group -Zxz -z9 --threads-max=1 --build "$stage" "$out/vantlo_${version}_amd64.deb" >/dev/null
  echo "== package: $out/vantlo_${version}_amd64.deb" >&2
}

package_deb
package_windows win64 toolchain-mingw-x86_64.cmake
package_windows win32 toolchain-mingw-i686.cmake

version=$(project_version "$work/linux")
(cd "$out" && sha256sum "vantlo_${version}_amd64.deb" "Vantlo-$version-win32.zip" "Vantlo-$version-win64.zip" >SHA256SUMS)
echo "== package: $out/SHA256SUMS" >&2
