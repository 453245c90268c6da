#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Drives the bash completion as bash does: COMP_WORDS split the way bash
# splits them, then the words it offers.
# usage: completion_test.sh COMPLETION_FILE...
set -u
for file in "$@"; do
    # shellcheck disable=SC1090 # the files under test are named at run time
    source "$file"
done

failed=0
expect() { # expected offers, then the words of the command line (last one is completed)
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "_${1//-/_}" 2>/dev/null
    local got=${COMPREPLY[*]}
    if [ "$got" = "$want" ]; then
        echo "ok: ${*@Q} -> $got"
    else
        echo "FAIL: ${*@Q}: expected '$want', got '$got'"
        failed=1
    fi
}

expect "--bootable" mkentry --bo
expect "--begin= --bootable" mkentry --b
expect "--magic" mkentry -c --ma
expect "0x0c 0x83 0x82 0x07 0xef 0x05 0x0f" mkentry -t ""
expect "0x0c 0x07 0x05 0x0f" mkentry --type 0x0
expect "0xef" mkentry --type = 0xe
expect "0x0c 0x83 0x82 0x07 0xef 0x05 0x0f" mkentry --type =
expect "" mkentry -b ""
expect "-b -s -t -c -m -h --begin= --size= --type= --bootable --magic --help" mkentry -
expect "--quiet" mkentry-check --q
expect "-q -h --quiet --json --strict --sector-size --disk-size --reserve --soc --svg --help" mkentry-check -
expect "--strict --sector-size --soc --svg" mkentry-check --s
expect "rpi rpi4" mkentry-check --soc rp
expect "allwinner rockchip imx6 imx8m am335x rpi rpi4 amlogic" mkentry-check --soc =
expect "4096" mkentry-check --sector-size 4
expect "512 1024 2048 4096" mkentry-check --sector-size =
expect "2048" mkentry-check --sector-size = 2
expect "" mkentry-check --reserve 1
expect "/dev/null" mkentry-check /dev/nul
expect "/dev/null" mkentry-check --svg /dev/nul
exit $failed
