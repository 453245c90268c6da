#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# The pictures kept in the tree, made again with the fresh build and
# compared byte for byte: the README's under docs/, the others under
# tests/svg/. A picture is its bytes: the same disk, name and options must
# give the same file. With SVG_UPDATE=1 the kept files are written anew.
# usage: svg_pictures_test.sh MKENTRY MKENTRY_CHECK SOURCE_DIR
set -euo pipefail
source_dir=$3
for tool in sfdisk xorriso isohybrid; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed (tests/packages)"
        exit 77
    fi
done
if [ ! -e /usr/lib/ISOLINUX/isolinux.bin ]; then
    echo "isolinux is not installed (tests/packages)"
    exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
bash "$source_dir/tests/make_svg_pictures.sh" "$1" "$2" "$source_dir" "$out"

kept_file() { # name
    if [[ $1 == ab-example || $1 == allwinner-clash ]]; then
        echo "$source_dir/docs/$1.svg"
    else
        echo "$source_dir/tests/svg/$1.svg"
    fi
}

failed=0
for name in ab-example allwinner-clash slots hybrid hybrid-iso bad-entries one-sector; do
    kept=$(kept_file "$name")
    if [[ ${SVG_UPDATE:-} == 1 ]]; then
        cp "$out/$name.svg" "$kept"
    elif ! cmp -s "$out/$name.svg" "$kept"; then
        echo "FAIL: $name.svg differs from $kept:"
        diff "$kept" "$out/$name.svg" | head -20 || true
        failed=1
    else
        echo "ok: $name.svg"
    fi
done
exit "$failed"
