// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "run.h"

#include <cstdio>

#include "help.h"
#include "options.h"
#include "parse_number.h"

int run(int argc, char* argv[])
{
    if (argc == 1) {
        print_help();
        return exit_ok;
    }

    partition_entry entry = default_entry();
    bool append_magic = false;

    // glibc's getopt_long starts afresh only from optind 0: from 1 it would
    // keep its place inside a bundle of short options like -cm.
    optind = 0;
    int opt = 0;
    while ((opt = getopt_long(argc, argv, short_options, long_options.data(), nullptr)) != -1) {
        switch (opt) {
        case 'b':
            set_begin(entry, parse_number(optarg));
            break;
        case 's':
            set_size(entry, parse_number(optarg));
            break;
        case 't':
            set_type(entry, static_cast<std::uint8_t>(parse_number(optarg) & 0xff));
            break;
        case 'c':
            set_bootable(entry);
            break;
        case 'm':
            append_magic = true;
            break;
        case 'h':
            print_help();
            return exit_ok;
        default:
            // getopt_long has already told the user; the option is dropped.
            break;
        }
    }

    return write_entry(entry, append_magic);
}

int write_entry(const partition_entry& entry, bool append_magic)
{
    const entry_bytes bytes = encode_entry(entry);
    if (std::fwrite(bytes.data(), bytes.size(), 1, stdout) != 1) {
        return exit_write_failed;
    }
    if (append_magic && std::fwrite(magic_bytes.data(), magic_bytes.size(), 1, stdout) != 1) {
        return exit_write_failed;
    }
    // The bytes are only buffered so far: flush before reporting success so
    // that a full disk or a closed descriptor ends in status 10, not 0.
    if (std::fflush(stdout) != 0) {
        return exit_write_failed;
    }
    return exit_ok;
}
