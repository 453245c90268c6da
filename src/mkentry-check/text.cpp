// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "text.h"

#include <charconv>

namespace {

void append_char(text& out, char c) { append(out, {&c, 1}); }

// The length of the valid UTF-8 sequence at the start of bytes, or 0.
std::size_t utf8_length(std::string_view bytes)
{
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte, which rules
    unsigned char high = 0xbf; // out overlong forms and surrogates
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    }
    if (length == 0 || bytes.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xbf) {
            return 0;
        }
    }
    return length;
}

} // namespace

void append(text& out, std::string_view part)
{
    if (part.size() > out.data.size() - out.size) {
        out.overflowed = true;
        return;
    }
    // A plain loop: a call to memcpy would cost more to bind at start-up
    // (full RELRO) than the report's few hundred bytes cost to copy. The
    // hardening test checks that none is imported.
    char* to = out.data.data() + out.size;
    for (const char c : part) {
        *to++ = c;
    }
    out.size += part.size();
}

void append_number(text& out, std::uint64_t value)
{
    std::array<char, 20> digits{}; // 2^64 has 20 decimal digits
    const auto result = std::to_chars(digits.begin(), digits.end(), value);
    append(out, {digits.data(), static_cast<std::size_t>(result.ptr - digits.data())});
}

void append_column(text& out, std::uint64_t value, std::size_t width)
{
    std::array<char, 20> digits{};
    const auto result = std::to_chars(digits.begin(), digits.end(), value);
    const auto count = static_cast<std::size_t>(result.ptr - digits.data());
    constexpr std::string_view spaces = "                    ";
    append(out, spaces.substr(0, width > count ? width - count : 0));
    append(out, {digits.data(), count});
}

void append_hex(text& out, std::uint64_t value, int digits)
{
    std::array<char, 16> hex{};
    const auto result = std::to_chars(hex.begin(), hex.end(), value, 16);
    const auto count = static_cast<std::size_t>(result.ptr - hex.data());
    const auto wanted = static_cast<std::size_t>(digits);
    constexpr std::string_view zeros = "0000000000000000";
    append(out, zeros.substr(0, wanted > count ? wanted - count : 0));
    append(out, {hex.data(), count});
}

void append_escaped(text& out, std::string_view name)
{
    constexpr std::string_view letters = "abtnvfr"; // \a (7) to \r (13)
    const auto octal = [&out](unsigned char byte) {
        const char digits[4] = {'\\', static_cast<char>('0' + (byte >> 6)),
                                static_cast<char>('0' + ((byte >> 3) & 7)),
                                static_cast<char>('0' + (byte & 7))};
        append(out, {digits, 4});
    };
    while (!name.empty()) {
        const char c = name[0];
        const auto byte = static_cast<unsigned char>(c);
        std::size_t taken = 1;
        if (c == '\\') {
            append(out, "\\\\");
        } else if (byte >= 7 && byte <= 13) {
            append_char(out, '\\');
            append_char(out, letters[byte - 7]);
        } else if (byte < 0x20 || (byte >= 0x7f && byte <= 0x9f)) {
            // 0x80 to 0x9f are control codes too: 0x9b starts an escape
            // sequence on some terminals.
            octal(byte);
        } else if (byte < 0x80) {
            append_char(out, c);
        } else if ((taken = utf8_length(name)) == 0) {
            taken = 1;
            append_char(out, c); // a stray byte of another encoding
        } else if (byte == 0xc2 && static_cast<unsigned char>(name[1]) <= 0x9f) {
            // U+0080 to U+009F, the same control codes in UTF-8.
            octal(byte);
            octal(static_cast<unsigned char>(name[1]));
        } else {
            append(out, name.substr(0, taken));
        }
        name.remove_prefix(taken);
    }
}

void append_json_chars(text& out, std::string_view value)
{
    while (!value.empty()) {
        const auto byte = static_cast<unsigned char>(value[0]);
        std::size_t taken = 1;
        if (byte == '"' || byte == '\\') {
            append_char(out, '\\');
            append_char(out, value[0]);
        } else if (byte < 0x20 || byte == 0x7f) {
            append(out, "\\u00");
            append_hex(out, byte, 2);
        } else if (byte < 0x80) {
            append_char(out, value[0]);
        } else if ((taken = utf8_length(value)) != 0) {
            append(out, value.substr(0, taken));
        } else {
            taken = 1;
            append(out, "\\ufffd");
        }
        value.remove_prefix(taken);
    }
}
