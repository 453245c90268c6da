#!/bin/sh
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# A rule's row without its message, or an error that names no reader and
# destroys nothing, must not compile, each for its own reason.
#
# usage: rule_rows_test.sh COMPILER INCLUDE_DIR ROWS_DIR
compiler=$1 include=$2 rows=$3
failed=0
refused() { # source, the words the compiler must give as its reason
    if out=$("$compiler" -std=c++20 -fsyntax-only -I "$include" "$rows/$1" 2>&1); then
        echo "FAIL: $1 compiles"
        failed=1
    elif printf '%s\n' "$out" | grep -q "$2"; then
        echo "ok: $1 does not compile: $2"
    else
        printf 'FAIL: %s does not compile, but not for %s:\n%s\n' "$1" "$2" "$out"
        failed=1
    fi
}
refused without_a_message.cpp message_text
refused error_without_a_reader.cpp an_error_names_its_readers_or_destroys_data
exit $failed
