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
if ! command -v sfdisk >/dev/null; then
    echo "sfdisk is not installed (the hybrid example needs it)"
    exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
bash "$source_dir/tests/svg/make-pictures.sh" "$1" "$2" "$source_dir" "$out"

kept_file() { # name
    if [[ $1 == ab-example ]]; then
        echo "$source_dir/docs/$1.svg"
    else
        echo "$source_dir/tests/svg/$1.svg"
    fi
}

failed=0
for name in ab-example slots hybrid bad-entries; do
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
