// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The help text, written to standard error.
#pragma once

#include <string_view>

inline constexpr std::string_view help_text =
    "Usage: mkentry [Options]\n"
    "\n"
    "Generate a 16 byte partition table entry defined by command line\n"
    "arguments and dump it to stdout. No CHS magic is done, only lba\n"
    "entries are filled out.\n"
    "\n"
    "Options:\n"
    " -b, --begin=<block>    start block of this partition\n"
    " -s, --size=<blocks>    size of this partition\n"
    " -t  --type=<type       partition type\n"
    " -c, --bootable         add bootable flag to this partition\n"
    " -m, --magic            append a 0x55aa magic\n"
    " -h, --help             this help\n";

static_assert(help_text.size() == 469);

void print_help();
