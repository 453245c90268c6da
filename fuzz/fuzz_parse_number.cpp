// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// parse_number against the C library's own conversion, brought to 32 bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "parse_number.h"
#include "strtoul32.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Arguments are C strings: what follows a NUL is never seen.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string argument = text.substr(0, text.find('\0'));
    if (parse_number(argument.c_str()) != strtoul32(argument.c_str())) {
        std::abort();
    }
    return 0;
}
