#!/usr/bin/env bash
# The release packages as a user meets them:
#   - scripts/package.sh run twice, the second time from a copy of the
#     source at another path, in build trees of its own: the two dist/
#     folders must be the same byte for byte, and no path of either tree may
#     appear in any file shipped. The second run takes its objects from
#     ccache (same source and flags, so the same objects) and links and
#     packs afresh; PACKAGE_TEST_COLD=1 turns ccache off for it, so that
#     every object is compiled again too (some ten minutes more);
#   - lintian on the .deb: no errors (warnings are printed);
#   - the .deb installed with dpkg -i (and removed again at the end):
#     --version of both programs, their manual pages, bash completion;
#   - the zips: the files a user expects, version resources that carry the
#     project's version, imports of system DLLs only;
#   - the win64 zip unpacked into a fresh Wine prefix: vantlo-cli.exe
#     --version.
#
#   package_test.sh [WORK_DIR]      (default build/package-test)
#
# Prints one line per check and "package: N passed, M failed" at the end;
# exit status 0 when every check held.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${1:-$root/build/package-test}
. "$root/scripts/wine-session.sh"

passed=0 failed=0
check() {  # description, command...: one line, counted
    local what=$1
    shift
    if "$@"; then
        echo "ok    $what"
        passed=$((passed + 1))
    else
        echo "FAIL  $what"
        failed=$((failed + 1))
    fi
}
finish() {
    echo "package: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

version=$(sed -n 's/^project(Vantlo VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package_test: no version in CMakeLists.txt" >&2; exit 1; }
deb=vantlo_${version}_amd64.deb
zips=("Vantlo-$version-win32.zip" "Vantlo-$version-win64.zip")
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}

# 1. Two runs, compared.
rm -rf "$work"
mkdir -p "$work/a" "$work/b/source"
"$root/scripts/package.sh" --out "$work/a/dist" >"$work/a/package.log" 2>&1 ||
    { tail -40 "$work/a/package.log"; check "first package run" false; finish; }
rsync -a --exclude=/build --exclude=/dist --exclude=/.git "$root/" "$work/b/source/"
cold=()
[ -z "${PACKAGE_TEST_COLD:-}" ] || cold=(CCACHE_DISABLE=1)
env "${cold[@]}" "$work/b/source/scripts/package.sh" --out "$work/b/dist" \
    >"$work/b/package.log" 2>&1 || { tail -40 "$work/b/package.log"; check "second package run" false; finish; }
dist=$work/a/dist
same_dist() {
    [ "$(ls "$work/a/dist")" = "$(ls "$work/b/dist")" ] || { ls "$work/a/dist" "$work/b/dist"; return 1; }
    local file same=0
    for file in $(ls "$work/a/dist"); do cmp "$work/a/dist/$file" "$work/b/dist/$file" || same=1; done
    return $same
}
check "two runs give the same bytes: $(ls "$dist" | tr '\n' ' ')" same_dist
# Every file shipped, unpacked, searched for the paths of both runs.
no_build_paths() {
    local shipped=$work/shipped zip found
    mkdir -p "$shipped/deb" "$shipped/zips"
    dpkg-deb -x "$dist/$deb" "$shipped/deb" || return 1
    for zip in "${zips[@]}"; do unzip -q -o "$dist/$zip" -d "$shipped/zips" || return 1; done
    found=$(grep -r -a -l -F -e "$root" -e "$work" "$shipped")
    [ -z "$found" ] || { echo "      paths of the build in: $found"; return 1; }
}
check "no path of either build in any shipped file" no_build_paths
check "SHA256SUMS covers the .deb and both zips" \
    bash -c "cd '$dist' && [ \$(wc -l <SHA256SUMS) -eq 3 ] && sha256sum --quiet --check SHA256SUMS"

# 2. lintian.
lintian_clean() {
    lintian --tag-display-limit 0 "$dist/$deb" >"$work/lintian.log" 2>&1
    grep -v 'running with root privileges' "$work/lintian.log" | sed 's/^/      lintian: /'
    ! grep -q '^E:' "$work/lintian.log"
}
check "lintian finds no error" lintian_clean

# 3. The .deb installed, used, removed.
dpkg_locked() {  # dpkg command...: waits (bounded) while another dpkg holds the lock
    local i
    for i in $(seq 60); do
        "$@" >"$work/dpkg.log" 2>&1 && return 0
        grep -q 'lock' "$work/dpkg.log" || { cat "$work/dpkg.log"; return 1; }
        sleep 2
    done
    return 1
}
removed() { dpkg_locked dpkg -r vantlo && [ ! -e /usr/bin/vantlo-cli ]; }
trap 'dpkg -s vantlo >/dev/null 2>&1 && dpkg_locked dpkg -r vantlo' EXIT
check "dpkg -i installs the package" dpkg_locked dpkg -i "$dist/$deb"
check "vantlo-cli --version says $version" [ "$(vantlo-cli --version)" = "vantlo-cli $version" ]
check "vantlo-mount --version says $version" [ "$(vantlo-mount --version)" = "vantlo-mount $version" ]
check "man -w finds vantlo-cli(1) and vantlo-mount(1)" \
    bash -c 'man -w vantlo-cli | grep -q "man1/vantlo-cli.1" && man -w vantlo-mount | grep -q "man1/vantlo-mount.1"'

# What the installed completion offers for a command line whose last word is
# being typed (the line's words, space-separated; the last may be empty).
completions() {  # line
    bash -c 'source /usr/share/bash-completion/completions/vantlo-cli
             read -ra COMP_WORDS <<<"$1"; [[ $1 == *" " ]] && COMP_WORDS+=("")
             COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _vantlo_cli; printf "%s\n" "${COMPREPLY[@]}" | sort | xargs' \
        _ "$1"
}
# The commands vantlo-cli --help lists: the completion must know every one.
help_commands=$(vantlo-cli --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\).*/\1/p' | sort | xargs)
check "completion offers every command of --help ($help_commands)" \
    [ "$(completions "vantlo-cli ")" = "$help_commands" ]
completion_cases=(  # line | expected completions
    "vantlo-cli --account me@163.example f|find folders"
    "vantlo-cli --imap imaps://h:993 --account me s|signin signout stat sync"
    "vantlo-cli --no-s|--no-session-cache"
    "vantlo-cli --account |"
    "vantlo-cli put --tr|--transfers"
    "vantlo-cli get --|--transfers"
    "vantlo-cli ls --m|--messages"
    "vantlo-cli folders |"
)
for case in "${completion_cases[@]}"; do
    check "completion of '${case%%|*}' is '${case#*|}'" [ "$(completions "${case%%|*}")" = "${case#*|}" ]
done
check "dpkg -r removes the package" removed

# 4. The zips' contents and programs.
zip_lists() {  # arch: the files a user finds after unpacking
    local expected="LICENSE.txt README.txt THIRD-PARTY.txt Vantlo.exe vantlo-cli.exe"
    [ -z "$(ls "$root/dav" 2>/dev/null)" ] || expected="$expected vantlo-dav.exe"
    local listed
    listed=$(unzip -Z1 "$dist/Vantlo-$version-$1.zip" | grep -v '/$' | sed "s|^Vantlo-$version-$1/||" | sort | xargs)
    [ "$listed" = "$(tr ' ' '\n' <<<"$expected" | sort | xargs)" ] || { echo "      listed: $listed"; return 1; }
}
# System DLLs present on every Windows from 7 on; anything else (the C++
# runtime's DLLs, zlib1.dll, the universal C runtime's api-ms-win-crt-*) would
# have to travel beside the program.
system_dlls=(advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll gdi32.dll imm32.dll kernel32.dll mpr.dll
    msvcrt.dll mswsock.dll ole32.dll oleaut32.dll secur32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll
    winmm.dll ws2_32.dll)
system_imports_only() {  # objdump, program
    local dll ok=0
    for dll in $("$1" -p "$2" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z'); do
        [[ " ${system_dlls[*]} " == *" $dll "* ]] || { echo "      $(basename "$2") imports $dll"; ok=1; }
    done
    return $ok
}
version_resource_right() {  # program
    local name got
    name=$(basename "$1")
    got=$(python3 "$here/version_resource.py" "$1") || { echo "      $got"; return 1; }
    grep -qx "fixed $version.0 $version.0" <<<"$got" && grep -qx "FileVersion=$version" <<<"$got" &&
        grep -qx "ProductVersion=$version" <<<"$got" && grep -qx "OriginalFilename=$name" <<<"$got" &&
        grep -q "^LegalCopyright=Copyright .*Apache License 2.0" <<<"$got" && grep -q "^FileDescription=Vantlo" <<<"$got" ||
        { sed 's/^/      /' <<<"$got"; return 1; }
}
readme_bilingual() {  # README.txt: UTF-8 with BOM, CRLF, both languages, this version
    head -c3 "$1" | cmp -s - <(printf '\xef\xbb\xbf') && grep -q $'\r$' "$1" && grep -q "How to remove everything" "$1" &&
        grep -q "如何彻底删除" "$1" && grep -q "Vantlo $version (" "$1"
}
for arch in win32 win64; do
    unpacked=$work/unpacked-$arch
    mkdir -p "$unpacked"
    check "$arch zip unpacks and holds the programs and texts" bash -c "unzip -q '$dist/Vantlo-$version-$arch.zip' -d '$unpacked'"
    check "$arch zip lists exactly the expected files" zip_lists "$arch"
    objdump=x86_64-w64-mingw32-objdump
    [ "$arch" = win64 ] || objdump=i686-w64-mingw32-objdump
    for exe in "$unpacked/Vantlo-$version-$arch"/*.exe; do
        check "$arch $(basename "$exe") imports system DLLs only" system_imports_only "$objdump" "$exe"
        check "$arch $(basename "$exe") carries version $version in its version resource" version_resource_right "$exe"
    done
    check "$arch README.txt is bilingual, for Notepad" readme_bilingual "$unpacked/Vantlo-$version-$arch/README.txt"
done

# 5. The win64 command-line program from the unpacked zip under Wine: the
# zip's programs start without anything beside them. (Vantlo.exe's sign-in
# under Wine is the desktop's end-to-end test, on the same code.)
wine_checks() {
    ws_begin && ws_start_display && ws_make_prefix "$root/build/win64/wine" || return 1
    local folder=$WS_PREFIX/drive_c/Vantlo
    unzip -q "$dist/Vantlo-$version-win64.zip" -d "$WS_PREFIX/drive_c" &&
        mv "$WS_PREFIX/drive_c/Vantlo-$version-win64" "$folder" || return 1
    check "win64 vantlo-cli.exe --version under Wine says $version" \
        [ "$(ws_run "$folder/vantlo-cli.exe" --version | tr -d '\r')" = "vantlo-cli $version" ]
}
# In a subshell: the Wine session ends (its display and prefix gone) when
# it does; the counts come back through a file.
(
    wine_checks || check "the Wine session starts (display, prefix)" false
    echo "$passed $failed" >"$work/wine.counts"
)
read -r passed failed <"$work/wine.counts"
finish
