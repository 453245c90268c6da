// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The command line: short option string and long option table for getopt_long.
#pragma once

#include <array>

#include <getopt.h>

// No leading '+', '-' or ':': getopt_long permutes operands and prints its
// own diagnostics.
inline constexpr char short_options[] = "hb:s:ct:m";

// Every long option returns the character of its short twin, so the run
// needs only one switch.
inline constexpr std::array<option, 7> long_options = {{
    {"help", no_argument, nullptr, 'h'},
    {"begin", required_argument, nullptr, 'b'},
    {"size", required_argument, nullptr, 's'},
    {"bootable", no_argument, nullptr, 'c'},
    {"type", required_argument, nullptr, 't'},
    {"magic", no_argument, nullptr, 'm'},
    {nullptr, 0, nullptr, 0},
}};
