#!/bin/sh
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# reuse lint over the source tree. reuse skips what .gitignore names only in
# a git checkout; in an exported tree it would lint the build trees too, so
# there it lints a copy without the paths that .gitignore names.
# usage: reuse_lint.sh SOURCE_DIR
set -eu
command -v reuse >/dev/null || { echo "reuse is not installed"; exit 77; }
cd "$1"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    exec reuse lint
fi
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
# "/build/" in .gitignore becomes --exclude=./build for tar.
excludes=$(sed -n 's|^/\([^#]*[^/]\)/\{0,1\}$|--exclude=./\1|p' .gitignore)
# shellcheck disable=SC2086 # one option per word
tar -cf - $excludes . | tar -xf - -C "$copy"
reuse --root "$copy" lint
