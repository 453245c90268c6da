// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// parse_number against a reference built on the C library's 64-bit
// strtoull: the same rules, computed the obvious way.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "parse_number.h"

namespace {

bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::uint32_t reference(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) {
        ++i;
    }
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    // strtoull would accept a second sign or more white space; the rules do not.
    if (i < text.size() && (text[i] == '+' || text[i] == '-' || is_c_space(text[i]))) {
        return 0;
    }
    errno = 0;
    const unsigned long long magnitude = std::strtoull(text.c_str() + i, nullptr, 0);
    if (errno == ERANGE || magnitude > 0xffffffffULL) {
        return 0xffffffff;
    }
    const auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0U - value) : value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Arguments are C strings: what follows a NUL is never seen.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string argument = text.substr(0, text.find('\0'));
    if (parse_number(argument.c_str()) != reference(argument)) {
        std::abort();
    }
    return 0;
}
