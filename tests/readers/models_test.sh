#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Holds each reader model to what the real reader made of the same image
# under qemu (tests/readers/real.tsv, written by label.sh): makes the
# images again and compares mkentry-check's "readers" with the table.
#
# usage: models_test.sh MKENTRY MKENTRY_CHECK
set -u
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
bash "$here/make-images.sh" "$1" "$scratch" >"$scratch/make.log" 2>&1
status=$?
if [ "$status" -ne 0 ]; then
    cat "$scratch/make.log"
    exit "$status" # 77 where a tool is missing
fi
python3 "$here/compare.py" "$2" "$scratch" "$here/real.tsv"
