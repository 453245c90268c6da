// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Runs mkentry as a child process with real standard streams.
#pragma once

#include <string>
#include <vector>

// Where the child's standard output goes.
enum class out_to {
    pipe,          // read back by the test
    dev_full,      // every write fails with ENOSPC
    closed,        // descriptor 1 not open at all
    read_only,     // descriptor 1 open for reading only
    reader_gone,   // a pipe whose read end is already closed
    one_byte_read, // a pipe whose reader takes one byte and leaves, like `head -c 1`
    pty,           // a pseudo-terminal in raw mode, read back by the test
};

struct child_result {
    std::string out;
    std::string err;
    int exit_status = -1; // -1 when ended by a signal
    int signal = 0;
    int writes = -1; // write(2) calls the child made; -1 where the kernel does not say
};

// The command that starts mkentry: an emulator and its options, then the
// binary. Set once from the test program's arguments.
extern std::vector<std::string> mkentry_command;

// Whether a terminal can be had for the child (a pseudo-terminal, which
// needs /dev/pts); out_to::pty is only for where it can.
bool terminal_available();

child_result run_mkentry(const std::vector<std::string>& args, out_to out = out_to::pipe,
                         bool ignore_sigpipe = false);
