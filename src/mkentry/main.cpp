// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include <cstdio>

#include "run.h"

int main(int argc, char* argv[])
{
    // Left alone, stdio would fstat the descriptor and malloc its buffer;
    // static storage costs nothing until touched. glibc writes straight
    // through buffers under 128 bytes, so the size is not the 18 we need.
    // The entry and the magic leave in one write(2) at the flush, on a
    // terminal too. setvbuf must come before any other use of the stream.
    static char buffer[BUFSIZ];
    (void)std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    return run(argc, argv);
}
