#!/usr/bin/env bash
# Real WebDAV clients against vantlo-dav over its in-memory tree, or with
# --provider over the mailbox of a fresh vantlo-provider (folders of files:
# the tree is one level deep there): rclone copies a tree in and checks it
# byte for byte; davfs2 copies one in, is unmounted, mounts again with an
# empty cache and compares. Exits 77 (skipped) when a client, /dev/fuse or
# root is missing.
# Usage: clients_test.sh VANTLO_DAV [--provider VANTLO_PROVIDER]
set -euo pipefail
dav=$1
provider=${3:-}
command -v rclone >/dev/null && command -v mount.davfs >/dev/null && [ -c /dev/fuse ] && [ "$(id -u)" = 0 ] ||
  { echo "rclone, davfs2, /dev/fuse or root is missing"; exit 77; }
work=$(mktemp -d)
mnt=$work/mnt
mounted=
pids=()
cleanup() {
  [ -z "$mounted" ] || umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
args=(--memory)
if [ -n "$provider" ]; then
  mkdir "$work/data"
  "$provider" --listen 127.0.0.1:0 --data "$work/data" >"$work/provider.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do grep -q '^listening on ' "$work/provider.out" 2>/dev/null && break; sleep 0.1; done
  address=$(sed -n '1s/^listening on //p' "$work/provider.out")
  args=(--account demo@163.example --provider "$address" --cache-dir "$work/cache")
  export VANTLO_PASSWORD=vantlo-demo
fi
"$dav" "${args[@]}" >"$work/url" 2>"$work/err" &
pids=("$!" "${pids[@]}")
for _ in $(seq 50); do [ -s "$work/url" ] && break; sleep 0.1; done
url=$(head -1 "$work/url")
[ -n "$url" ] || { cat "$work/err"; exit 1; }

# A tree with nested folders, an empty file, odd names and a few MiB; over
# the mailbox the copies land in folders, so the tree is files only.
src=$work/src
mkdir -p "$src"
head -c 3000000 /dev/urandom >"$src/big.bin"
printf 'hello\n' >"$src/hello #1 & more%20.txt"
printf 'x' >"$src/名字.txt"
for i in $(seq 1 20); do printf '%s' "$i" >"$src/small-$i"; done
if [ -z "$provider" ]; then
  mkdir -p "$src/a/b c/d" "$src/empty dir" "$src/文件夹"
  : >"$src/a/b c/empty"
  printf 'deep\n' >"$src/a/b c/d/deep.txt"
  printf 'x' >"$src/文件夹/名字.txt"
fi

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
if [ -n "$provider" ]; then
  # The bytes must reach the mailbox, not just the first server's journal: a
  # second server with an empty cache reads them from the provider.
  echo "== from the mailbox"
  "$dav" "${args[@]:0:4}" --cache-dir "$work/second-cache" >"$work/url2" 2>"$work/err2" &
  pids=("$!" "${pids[@]}")
  for _ in $(seq 50); do [ -s "$work/url2" ] && break; sleep 0.1; done
  url2=$(head -1 "$work/url2")
  [ -n "$url2" ] || { cat "$work/err2"; exit 1; }
  stored=
  for _ in $(seq 60); do
    if "${rc[@]/$url/$url2}" check --download "$src" :webdav:rc >/dev/null 2>&1 &&
       "${rc[@]/$url/$url2}" check --download "$src" :webdav:dv >/dev/null 2>&1; then
      stored=1
      break
    fi
    sleep 2
  done
  [ -n "$stored" ] || { echo "the copies did not reach the mailbox within 120 s"; exit 1; }
fi
echo "clients: rclone and davfs2 agree with the source tree"
