// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "report/escape.h"

namespace {

void put_bytes(std::FILE* out, std::string_view bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), out);
}

// Appends a byte as C writes it in octal: \033.
void put_octal(escape_text& escape, unsigned char byte)
{
    escape.chars[escape.size++] = '\\';
    escape.chars[escape.size++] = static_cast<char>('0' + (byte >> 6));
    escape.chars[escape.size++] = static_cast<char>('0' + ((byte >> 3) & 7));
    escape.chars[escape.size++] = static_cast<char>('0' + (byte & 7));
}

// C1 control codes, raw: 0x9b starts an escape sequence on some terminals.
constexpr bool is_c1(unsigned char byte) { return byte >= 0x80 && byte <= 0x9f; }

// The bytes of the non-ASCII character at the start of a name that a
// terminal is given as they are: a valid sequence other than a C1 code, or
// a stray byte of another encoding; 0 for a C1 code, raw or in UTF-8.
std::size_t terminal_plain_character(std::string_view name)
{
    const auto byte = static_cast<unsigned char>(name[0]);
    if (is_c1(byte)) {
        return 0;
    }
    const std::size_t length = utf8_length(name);
    if (length == 0) {
        return 1;
    }
    return byte == 0xc2 && is_c1(static_cast<unsigned char>(name[1])) ? 0 : length;
}

} // namespace

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

std::size_t terminal_plain_length(std::string_view name)
{
    std::size_t at = 0;
    while (at < name.size()) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            ++at;
        } else if (const std::size_t length =
                       byte >= 0x80 ? terminal_plain_character(name.substr(at)) : 0;
                   length != 0) {
            at += length;
        } else {
            break;
        }
    }
    return at;
}

escape_text terminal_escape(std::string_view name)
{
    constexpr std::string_view letters = "abtnvfr"; // \a (7) to \r (13)
    const auto byte = static_cast<unsigned char>(name[0]);
    escape_text escape{{}, 0, 1};
    if (byte == '\\') {
        escape.chars[escape.size++] = '\\';
        escape.chars[escape.size++] = '\\';
    } else if (byte >= 7 && byte <= 13) {
        escape.chars[escape.size++] = '\\';
        escape.chars[escape.size++] = letters[byte - 7];
    } else if (byte == 0xc2) { // U+0080 to U+009F, the same control codes in UTF-8
        put_octal(escape, byte);
        put_octal(escape, static_cast<unsigned char>(name[1]));
        escape.taken = 2;
    } else {
        put_octal(escape, byte);
    }
    return escape;
}

std::size_t json_plain_length(std::string_view value)
{
    std::size_t at = 0;
    while (at < value.size()) {
        const auto byte = static_cast<unsigned char>(value[at]);
        if (byte >= 0x20 && byte < 0x7f && byte != '"' && byte != '\\') {
            ++at;
        } else if (const std::size_t length = byte >= 0x80 ? utf8_length(value.substr(at)) : 0;
                   length != 0) {
            at += length;
        } else {
            break;
        }
    }
    return at;
}

escape_text json_escape(std::string_view value)
{
    constexpr std::string_view hex_digits = "0123456789abcdef";
    const auto byte = static_cast<unsigned char>(value[0]);
    escape_text escape{{'\\'}, 1, 1};
    if (byte == '"' || byte == '\\') {
        escape.chars[escape.size++] = static_cast<char>(byte);
        return escape;
    }
    // A control byte as \u001b; a byte of no valid sequence as U+FFFD.
    const bool control = byte < 0x20 || byte == 0x7f;
    for (const char c : std::string_view(control ? "u00" : "ufffd")) {
        escape.chars[escape.size++] = c;
    }
    if (control) {
        escape.chars[escape.size++] = hex_digits[byte >> 4];
        escape.chars[escape.size++] = hex_digits[byte & 0xf];
    }
    return escape;
}

void put_escaped(std::FILE* out, std::string_view name)
{
    escape_for_terminal(name, [out](std::string_view piece) { put_bytes(out, piece); });
}

void put_json_chars(std::FILE* out, std::string_view value)
{
    escape_for_json(value, [out](std::string_view piece) { put_bytes(out, piece); });
}
