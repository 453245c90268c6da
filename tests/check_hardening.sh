#!/bin/sh
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Fails unless every binary carries every hardening feature of the build
# and needs no shared library but libc, and unless every
# object of the tools was compiled fortified. A packaged binary comes
# without its compile commands: give - for them.
# usage: check_hardening.sh READELF COMPILE_COMMANDS_JSON|- BINARY...
set -u
readelf=$1 commands=$2
shift 2

failed=0
check() { # description, then a command that succeeds when the feature is there
    what=$1
    shift
    if "$@" >/dev/null; then echo "ok: $binary: $what"; else echo "MISSING: $binary: $what"; failed=1; fi
}
# shellcheck disable=SC2317 # called through check(), which shellcheck cannot follow
has() { printf '%s\n' "$1" | grep -E -- "$2"; }
# shellcheck disable=SC2317 # called through check(), which shellcheck cannot follow
stack_not_executable() { has "$segments" 'GNU_STACK' | grep -v 'RWE'; }

for binary in "$@"; do
    header=$("$readelf" -hW "$binary") || exit 1
    dynamic=$("$readelf" -dW "$binary")
    segments=$("$readelf" -lW "$binary")
    symbols=$("$readelf" --dyn-syms -W "$binary")
    check "position-independent executable" has "$header" 'Type: +DYN'
    check "PIE flag in the dynamic section" has "$dynamic" 'FLAGS_1.*PIE'
    check "RELRO segment" has "$segments" 'GNU_RELRO'
    check "immediate binding (full RELRO)" has "$dynamic" 'BIND_NOW|FLAGS_1.* NOW'
    check "non-executable stack" stack_not_executable
    check "stack protector" has "$symbols" '__stack_chk_fail'
    # Where the stack guard lives in the dynamic loader (ARM), it is needed too.
    # shellcheck disable=SC2317 # called through check(), which shellcheck cannot follow
    needs_libc_alone() {
        needed=$(has "$dynamic" 'NEEDED' | grep -o '\[.*\]')
        others=$(printf '%s\n' "$needed" | grep -Ev '^\[(libc\.so\.6|ld-linux[^]]*|ld[0-9.]*\.so[^]]*)\]$')
        has "$needed" '^\[libc\.so\.6\]$' && [ -z "$others" ]
    }
    check "libc (and the loader) as the only shared libraries" needs_libc_alone
done
# No fortifiable libc call may be made yet, so the ELF need not show
# _FORTIFY_SOURCE: check that each of the tools' own objects (the sources
# under src/) was compiled with it, optimised, as glibc requires.
if [ "$commands" != - ]; then
    objects=$(grep -E '"command": .* -c [^ ]*/src/(mbr|mkentry|mkentry-check)/[^ ]*"' "$commands")
    if [ -z "$objects" ]; then
        echo "MISSING: $commands: no object of the tools' sources"
        failed=1
    fi
    # The loop runs in a subshell of the pipe: its status carries the result.
    printf '%s\n' "$objects" | {
        while IFS= read -r line; do
            [ -n "$line" ] || continue
            binary=${line##* -c }
            binary=${binary%\"*}
            check "_FORTIFY_SOURCE on optimised code" has "$line" \
                ' -O[1-3s] .*-D_FORTIFY_SOURCE=[23] |-D_FORTIFY_SOURCE=[23] .*-O[1-3s] '
        done
        exit $failed
    } || failed=1
fi
exit $failed
