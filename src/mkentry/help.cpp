// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "help.h"

#include <cstdio>

void print_help()
{
    // Help always ends the run with status 0, so the result is of no use.
    (void)std::fwrite(help_text.data(), 1, help_text.size(), stderr);
}
