#!/usr/bin/env bash
# Builds the Debian package with CPack into a temporary folder and checks what it holds and what
# it depends on. Installs nothing: the package is only read with dpkg-deb and unpacked under /tmp.
# usage: check-package.sh <build-dir> <version>    exit 77: skipped (tools missing)
set -euo pipefail
build=$1
version=$2
appId=com.corvane.Valdorix

for tool in cpack dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed, the Debian package cannot be built or read here"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
debs=("$work"/out/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    cat "$work/cpack.log"
    echo "FAIL: expected one .deb, found: ${debs[*]}"
    exit 1
fi
deb=${debs[0]}
echo "package: $(basename "$deb")"

# --- control fields
info=$(dpkg-deb --info "$deb")
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = valdorix ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project is $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
echo "Depends: $depends"
depNames=$(echo "$depends" | tr ',|' '\n\n' | sed -E 's/\(.*\)//; s/[[:space:]]//g' | sed '/^$/d')
hasDep() { echo "$depNames" | grep -qx "$1"; }

# Every shared library the programs link must come from a package named in Depends, and no
# development package may be asked for.
for binary in "$build/valdorix" "$build/valdorix-cli" "$build/qr/libvaldorix-zxing.so"; do
    while read -r lib; do
        path=$(ldd "$binary" | awk -v lib="$lib" '{ n = $1; sub(".*/", "", n) } n == lib { print ($2 == "=>" ? $3 : $1) }')
        if [ -z "$path" ] || [ ! -e "$path" ]; then
            fail "$lib is not found by ldd"
            continue
        fi
        owner=""
        for candidate in "$path" "$(readlink -f "$path")" "${path#/usr}" "/usr$path"; do
            owner=$(dpkg-query -S "$candidate" 2>/dev/null | head -n1 | cut -d: -f1) && [ -n "$owner" ] && break
        done
        if [ -z "$owner" ]; then
            fail "$lib ($path) belongs to no Debian package"
        elif ! hasDep "$owner"; then
            fail "$lib comes from $owner, which Depends does not name"
        fi
    done < <(objdump -p "$binary" | awk '$1 == "NEEDED" { print $2 }')
done
hasDep fonts-liberation2 || fail "Depends lacks fonts-liberation2 (the dialog font)"
hasDep libcurl4 || fail "Depends lacks libcurl4 (opened at the first server call)"
hasDep libzxing2 || fail "Depends lacks libzxing2 (QR codes)"
if echo "$depNames" | grep -q -- '-dev$'; then
    fail "Depends names a development package"
fi

# --- files
contents=$(dpkg-deb --contents "$deb")
expect=(
    ./usr/bin/valdorix
    ./usr/bin/valdorix-cli
    ./usr/share/man/man1/valdorix-cli.1.gz
    "./usr/share/applications/$appId.desktop"
    "./usr/share/metainfo/$appId.metainfo.xml"
)
for size in 16 32 48 128; do
    expect+=("./usr/share/icons/hicolor/${size}x${size}/apps/$appId.png")
done
for path in "${expect[@]}"; do
    echo "$contents" | awk '{ print $NF }' | grep -qxF "$path" || fail "the package lacks $path"
done
for program in valdorix valdorix-cli; do
    echo "$contents" | awk -v p="./usr/bin/$program" '$NF == p { print $1 }' | grep -qx -- '-rwxr-xr-x' ||
        fail "usr/bin/$program is not mode 755"
done
# Nothing of the build may leak in (headers, static libraries, tests).
if echo "$contents" | awk '{ print $NF }' | grep -E '\.(h|a|cmake)$|/include/|/lib/.*test'; then
    fail "the package carries build files"
fi

# --- what the files say about each other, read from the unpacked package
root="$work/root"
dpkg-deb -x "$deb" "$root"
# The QR module: in the package, and found there by the unpacked command-line client, which
# writes a QR code through it (its libraries are checked with the programs' above).
if ! (cd "$root" && find . -name libvaldorix-zxing.so | grep -q .); then
    fail "the package lacks the QR module libvaldorix-zxing.so"
else
    cli=("$root/usr/bin/valdorix-cli" --database "$work/qr.db")
    if printf '1234\n1234\n' | "${cli[@]}" init >"$work/cli.log" 2>&1 &&
        printf '1234\n' | "${cli[@]}" add 'otpauth://totp/Check:qr?secret=JBSWY3DPEHPK3PXP' >>"$work/cli.log" 2>&1 &&
        printf '1234\n' | "${cli[@]}" export --qr "$work/qr.png" 1 >>"$work/cli.log" 2>&1 && [ -s "$work/qr.png" ]; then
        :
    else
        cat "$work/cli.log"
        fail "the packaged valdorix-cli cannot write a QR code with the packaged module"
    fi
fi
desktop="$root/usr/share/applications/$appId.desktop"
metainfo="$root/usr/share/metainfo/$appId.metainfo.xml"
if [ -f "$desktop" ]; then
    key() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
    [ "$(key Type)" = Application ] || fail "desktop entry Type is '$(key Type)'"
    exe=$(key Exec | awk '{ print $1 }')
    [ -x "$root/usr/bin/$exe" ] || fail "desktop entry runs '$exe', which the package does not hold"
    icon=$(key Icon)
    [ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] ||
        fail "desktop entry icon '$icon' has no 48x48 picture"
    key Categories | grep -qE '(^|;)(Utility|Security)(;|$)' || fail "desktop entry has no main category"
fi
if [ -f "$metainfo" ]; then
    grep -q "<id>$appId</id>" "$metainfo" || fail "metainfo id is not $appId"
    grep -q "<launchable type=\"desktop-id\">$appId.desktop</launchable>" "$metainfo" ||
        fail "metainfo does not launch $appId.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
fi
# The manual page is gzip'd roff that man reads without a warning.
manPage="$root/usr/share/man/man1/valdorix-cli.1.gz"
if [ -f "$manPage" ]; then
    gzip -t "$manPage" || fail "$manPage is not gzip data"
    if command -v groff >/dev/null 2>&1; then
        warnings=$(zcat "$manPage" | groff -man -ww -z 2>&1) || fail "groff cannot read the manual page"
        [ -z "$warnings" ] || fail "the manual page has warnings: $warnings"
    fi
fi
# Each icon is a PNG of the size its folder names.
for png in "$root"/usr/share/icons/hicolor/*/apps/*.png; do
    [ -f "$png" ] || continue
    dir=$(basename "$(dirname "$(dirname "$png")")")
    header=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
    w=$((16#${header:32:8}))
    h=$((16#${header:40:8}))
    [ "${header:0:16}" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
    [ "${w}x${h}" = "$dir" ] || fail "$png is ${w}x${h}, in folder $dir"
done
if command -v desktop-file-validate >/dev/null 2>&1 && [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate reports errors"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    if ! appstreamcli validate-tree --no-net "$root" >"$work/appstream.log" 2>&1; then
        cat "$work/appstream.log"
        fail "appstreamcli validate-tree reports errors"
    fi
else
    echo "note: appstreamcli is not installed, the metainfo was not validated"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    echo "$info"
    exit 1
fi
echo "package checks passed"
