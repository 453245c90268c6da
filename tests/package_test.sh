#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Checks the .deb files that dpkg-buildpackage made: lintian at error and
# warning level, the control fields, the exact file list, a stripped and
# hardened binary, the manual page's version, and the packaged binary's
# bytes, run under qemu-user for the boards, against the host build's.
# usage: package_test.sh HOST_MKENTRY DEB...
set -euo pipefail
reference=$1
shift
here=$(dirname "$0")
version=$(dpkg-parsechangelog -l "$here/../debian/changelog" -S Version)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $deb: $*"; failed=1; }

files="./usr/bin/mkentry
./usr/bin/mkentry-check
./usr/share/bash-completion/completions/mkentry
./usr/share/bash-completion/completions/mkentry-check
./usr/share/doc/mkentry/changelog.gz
./usr/share/doc/mkentry/copyright
./usr/share/man/man1/mkentry-check.1.gz
./usr/share/man/man1/mkentry.1.gz"

# Argument vectors whose bytes and status every build must share.
cases=(
    "-c -b 2048 -s 32768 -t 0x0c -m"
    "--bootable --type=0xef --begin 0x102 --size=010"
    "-b 4294967296 -s -1 -t 0x183"
    "--beg=08 -s 12abc x -t 256"
    "-b -c -m"
    "-- -c"
    "-x --magic=1 -cm"
)

for deb in "$@"; do
    arch=$(dpkg-deb -f "$deb" Architecture)
    lintian --fail-on error,warning "$deb" || fail "lintian"
    [ "$(dpkg-deb -f "$deb" Package)" = mkentry ] || fail "Package is not mkentry"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
    [[ $(dpkg-deb -f "$deb" Depends) =~ ^libc6\ \(\>=\ [0-9.]+\)$ ]] ||
        fail "Depends is not libc6 alone: $(dpkg-deb -f "$deb" Depends)"
    got=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
    [ "$got" = "$files" ] || fail "files differ from the expected list:"$'\n'"$got"

    root=$scratch/$arch
    dpkg-deb -x "$deb" "$root"
    binary=$root/usr/bin/mkentry
    for command in mkentry mkentry-check; do
        readelf -SW "$root/usr/bin/$command" | grep -Eq ' \.(symtab|debug_info) ' && fail "$command is not stripped"
        sh "$here/check_hardening.sh" readelf - "$root/usr/bin/$command" >/dev/null || fail "$command is not hardened"
        zcat "$root/usr/share/man/man1/$command.1.gz" | grep -qi "^\.TH $command 1 .* \"mkentry $version\"" ||
            fail "manual page $command.1 does not carry version $version"
    done

    # The boards' binaries run on the boards' glibc of Debian 12, the cross
    # toolchain's, which the host has whatever its own libc6's version.
    case $arch in
    armhf) emulator=(qemu-arm -L /usr/arm-linux-gnueabihf) ;;
    arm64) emulator=(qemu-aarch64 -L /usr/aarch64-linux-gnu) ;;
    *) emulator=() ;;
    esac
    run=("${emulator[@]}" "$binary")
    # The checker: an entry one sector past the end of a 1 MiB image.
    truncate -s 1M "$scratch/disk.img"
    "${run[@]}" -b 2048 -s 1 -m | dd of="$scratch/disk.img" bs=1 seek=494 conv=notrunc status=none
    status=0
    "${emulator[@]}" "$root/usr/bin/mkentry-check" -q "$scratch/disk.img" || status=$?
    [ $status = 1 ] || fail "packaged mkentry-check gives $status, not 1, for an entry past the end"
    typical=$("${run[@]}" -b 256 -s 512 -t 0x0c -c -m | od -An -tx1 | tr -s ' \n' ' ')
    [ "$typical" = " 80 ff ff ff 0c ff ff ff 00 01 00 00 00 02 00 00 55 aa " ] ||
        fail "packaged binary wrote:$typical"
    for args in "${cases[@]}"; do
        # shellcheck disable=SC2086 # each case is split into its words
        want=$("$reference" $args 2>/dev/null | od -An -tx1; echo "status ${PIPESTATUS[0]}")
        # shellcheck disable=SC2086
        have=$("${run[@]}" $args 2>/dev/null | od -An -tx1; echo "status ${PIPESTATUS[0]}")
        [ "$have" = "$want" ] || fail "mkentry $args: host build gives $want, package $have"
    done
    [ $failed = 0 ] && echo "ok: $deb ($arch): lintian, fields, files, stripped, hardened, same bytes"
done
exit $failed
