#!/usr/bin/env bash
# Real WebDAV clients against vantlo-dav over its in-memory tree: rclone
# copies a tree in and checks it; davfs2 copies one in, is unmounted, mounts
# again with an empty cache and compares. Exits 77 (skipped) when a client,
# /dev/fuse or root is missing.
# Usage: clients_test.sh VANTLO_DAV
set -euo pipefail
dav=$1
command -v rclone >/dev/null && command -v mount.davfs >/dev/null && [ -c /dev/fuse ] && [ "$(id -u)" = 0 ] ||
  { echo "rclone, davfs2, /dev/fuse or root is missing"; exit 77; }
work=$(mktemp -d)
mnt=$work/mnt
mounted=
cleanup() {
  [ -z "$mounted" ] || umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$work"
}
"$dav" --memory >"$work/url" 2>"$work/err" &
pid=$!
trap cleanup EXIT
for _ in $(seq 50); do [ -s "$work/url" ] && break; sleep 0.1; done
url=$(head -1 "$work/url")
[ -n "$url" ] || { cat "$work/err"; exit 1; }

# A tree with nested folders, an empty file, odd names and a few MiB.
src=$work/src
mkdir -p "$src/a/b c/d" "$src/empty dir" "$src/文件夹"
head -c 3000000 /dev/urandom >"$src/a/big.bin"
: >"$src/a/b c/empty"
printf 'hello\n' >"$src/a/b c/d/hello #1 & more%20.txt"
printf 'x' >"$src/文件夹/名字.txt"
for i in $(seq 1 40); do printf '%s' "$i" >"$src/a/small-$i"; done

echo "== rclone"
: >"$work/rclone.conf"
rc=(rclone --config "$work/rclone.conf" --webdav-url "$url" --low-level-retries 1 --retries 1)
"${rc[@]}" copy "$src" :webdav:rc
"${rc[@]}" check --download "$src" :webdav:rc

echo "== davfs2"
mkdir -p "$mnt" "$work/cache1" "$work/cache2"
# davfs2 works as its own user: it must reach its cache directories.
chmod 755 "$work"
chmod 777 "$work/cache1" "$work/cache2"
davmount() {  # cache dir
  # buf_size 64: davfs2 1.6 cannot list directories on kernels from 6.16 on without it.
  printf 'cache_dir %s\nuse_locks 1\ndelay_upload 0\nbuf_size 64\n' "$1" >"$work/davfs2.conf"
  # No user name and no password: two empty answers.
  printf '\n\n' | mount.davfs -o "conf=$work/davfs2.conf" "$url" "$mnt" >/dev/null 2>&1
  mounted=1
}
davmount "$work/cache1"
cp -r "$src" "$mnt/dv"
umount "$mnt"  # waits until davfs2 has sent every file
mounted=
davmount "$work/cache2"
diff -r "$src" "$mnt/dv"
umount "$mnt"
mounted=
echo "clients: rclone and davfs2 agree with the source tree"
