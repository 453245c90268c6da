// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// One run of mkentry: the command line in, the entry out, the exit status back.
#pragma once

#include "partition_entry.h"

inline constexpr int exit_ok = 0;
inline constexpr int exit_write_failed = 10;

// Parses the arguments with getopt_long, which it resets first (optind = 0),
// and writes the entry to standard output.
int run(int argc, char* argv[]);

// Writes the encoded entry, then the magic if asked for, and flushes. The
// caller gives standard output its buffer (see main), before any output.
int write_entry(const partition_entry& entry, bool append_magic);
