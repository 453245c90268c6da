// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A whole run from a fuzzed command line: the input is split at NUL bytes
// into arguments, and run() parses and writes them exactly as main() does.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "run.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The entry is written for real, to a sink that always accepts it.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::abort();
    }
    // As main() does, once, before any output.
    static char buffer[BUFSIZ];
    (void)std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');

    std::vector<char*> argv;
    static char name[] = "mkentry";
    argv.push_back(name);
    argv.push_back(text.data());
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\0') {
            argv.push_back(&text[i + 1]);
        }
    }
    // An empty input is the command name alone.
    const int argc = size == 0 ? 1 : static_cast<int>(argv.size());
    argv.push_back(nullptr);

    const int status = run(argc, argv.data());

    // /dev/null takes every byte: anything but success would be a lie.
    if (status != exit_ok) {
        std::abort();
    }
    return 0;
}
