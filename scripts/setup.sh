#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Vantlo.
# Idempotent: when everything is present it only checks, in a second or two.
# No i386 architecture: 32-bit programs cannot run on these machines; the
# i686 build is compiled and linked only.
set -euo pipefail

packages=(
  cmake make g++ pkg-config libssl-dev openssl
  googletest libgtest-dev libgmock-dev
  mingw-w64 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix
  wine wine64 xvfb xdotool x11-utils imagemagick fonts-wqy-microhei
  clang libclang-rt-14-dev
  curl time procps python3 locales
  zlib1g-dev libz-mingw-w64-dev
  dovecot-imapd
  libfuse3-dev fuse3 rsync
  ccache
  # vaults: libgcrypt for both platforms; the tests' independent reader
  libgcrypt20-dev libgcrypt-mingw-w64-dev python3-cryptography python3-argon2
  # WebDAV clients that test vantlo-dav.
  litmus davfs2 rclone
  # release packages (scripts/package.sh) and their test
  lintian scdoc dpkg-dev man-db unzip
)

# Wine takes the ANSI code page and the conversion of file names from the
# Unix locale; the Windows-side tests run under zh_CN.UTF-8 (code page 936).
ensure_locale() {
  locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$' && return 0
  echo "setup: generating the zh_CN.UTF-8 locale"
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  ensure_locale
  echo "setup: everything is installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
ensure_locale
echo "setup: done"
