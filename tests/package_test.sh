#!/usr/bin/env bash
# Installs the build into a scratch prefix, packages it as a .deb, checks the
# package's fields and files, unpacks it and runs the packaged binary.
# usage: package_test.sh CMAKE CPACK BUILD_DIR
set -euo pipefail
cmake=$1 cpack=$2 build=$3

for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

installed=(bin/mkentry share/man/man1/mkentry.1 share/bash-completion/completions/mkentry)

"$cmake" --install "$build" --prefix "$scratch/prefix" >/dev/null
for file in "${installed[@]}"; do
    [ -f "$scratch/prefix/$file" ] || { echo "cmake --install did not install $file"; exit 1; }
done
echo "ok: cmake --install puts ${installed[*]} under the prefix"

"$cpack" -G DEB -B "$scratch/package" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(echo "$scratch"/package/*.deb)
dpkg-deb -f "$deb" Package Version Depends Description
[ "$(dpkg-deb -f "$deb" Package)" = mkentry ]
dpkg-deb -f "$deb" Depends | grep -Eq '^libc6( |$)'
contents=$(dpkg-deb -c "$deb")
for file in "${installed[@]}"; do
    grep -q " \./usr/$file\$" <<<"$contents" || { echo "the package lacks /usr/$file"; exit 1; }
done
echo "ok: the package is named mkentry, depends on libc6 and holds the installed files"

dpkg-deb -x "$deb" "$scratch/root"
bytes=$("$scratch/root/usr/bin/mkentry" -b 256 -s 512 -t 0x0c -c -m | od -An -tx1 | tr -s ' \n' ' ')
[ "$bytes" = " 80 ff ff ff 0c ff ff ff 00 01 00 00 00 02 00 00 55 aa " ] || { echo "packaged binary wrote:$bytes"; exit 1; }
echo "ok: the packaged binary writes the expected entry"
