// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "report/escape.h"

#include <cstddef>

namespace {

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

void put_bytes(std::FILE* out, std::string_view bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), out);
}

} // namespace

void put_escaped(std::FILE* out, std::string_view name)
{
    constexpr std::string_view letters = "abtnvfr"; // \a (7) to \r (13)
    while (!name.empty()) {
        const auto byte = static_cast<unsigned char>(name[0]);
        std::size_t taken = 1;
        if (byte == '\\') {
            std::fputs("\\\\", out);
        } else if (byte >= 7 && byte <= 13) {
            std::fprintf(out, "\\%c", letters[byte - 7]);
        } else if (byte < 0x20 || (byte >= 0x7f && byte <= 0x9f)) {
            // 0x80 to 0x9f are control codes too: 0x9b starts an escape
            // sequence on some terminals.
            std::fprintf(out, "\\%03o", byte);
        } else if (byte < 0x80 || (taken = utf8_length(name)) == 0) {
            taken = 1;
            std::putc(name[0], out); // ASCII, or a stray byte of another encoding
        } else if (byte == 0xc2 && static_cast<unsigned char>(name[1]) <= 0x9f) {
            // U+0080 to U+009F, the same control codes in UTF-8.
            std::fprintf(out, "\\302\\%03o", static_cast<unsigned char>(name[1]));
        } else {
            put_bytes(out, name.substr(0, taken));
        }
        name.remove_prefix(taken);
    }
}

void put_json_chars(std::FILE* out, std::string_view value)
{
    while (!value.empty()) {
        const auto byte = static_cast<unsigned char>(value[0]);
        std::size_t taken = 1;
        if (byte == '"' || byte == '\\') {
            std::fprintf(out, "\\%c", byte);
        } else if (byte < 0x20 || byte == 0x7f) {
            std::fprintf(out, "\\u%04x", byte);
        } else if (byte < 0x80) {
            std::putc(value[0], out);
        } else if ((taken = utf8_length(value)) != 0) {
            put_bytes(out, value.substr(0, taken));
        } else {
            taken = 1;
            std::fputs("\\ufffd", out);
        }
        value.remove_prefix(taken);
    }
}
