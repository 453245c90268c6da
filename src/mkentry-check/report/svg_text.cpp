// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "report/svg_text.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "rules/message.h"

namespace {

constexpr bool is_markup(unsigned char byte) { return byte == '&' || byte == '<' || byte == '>'; }

// A valid sequence XML takes: not a C1 code (c2 80 to c2 9f) and not
// U+FFFE or U+FFFF (ef bf be, ef bf bf); 0 where it is not one.
std::size_t xml_character(std::string_view name)
{
    const std::size_t length = utf8_length(name);
    const auto byte = [&name](std::size_t i) { return static_cast<unsigned char>(name[i]); };
    if (length == 2 && byte(0) == 0xc2 && byte(1) < 0xa0) {
        return 0;
    }
    if (length == 3 && byte(0) == 0xef && byte(1) == 0xbf && byte(2) >= 0xbe) {
        return 0;
    }
    return length;
}

// The East Asian wide and full-width blocks, and the emoji and
// ideographs past U+1F300, which a fallback font draws two columns wide.
constexpr bool is_wide(std::uint32_t code)
{
    return (code >= 0x1100 && code <= 0x115f) || (code >= 0x2e80 && code <= 0xa4cf) ||
           (code >= 0xac00 && code <= 0xd7a3) || (code >= 0xf900 && code <= 0xfaff) ||
           (code >= 0xfe30 && code <= 0xfe4f) || (code >= 0xff00 && code <= 0xff60) ||
           (code >= 0xffe0 && code <= 0xffe6) || code >= 0x1f300;
}

void append(escape_text& escape, std::string_view text)
{
    std::memcpy(escape.chars.data() + escape.size, text.data(), text.size());
    escape.size += text.size();
}

} // namespace

std::size_t xml_plain_length(std::string_view name)
{
    std::size_t at = 0;
    while (at < name.size()) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\' && !is_markup(byte)) {
            ++at;
        } else if (const std::size_t length = byte >= 0x80 ? xml_character(name.substr(at)) : 0;
                   length != 0) {
            at += length;
        } else {
            break;
        }
    }
    return at;
}

escape_text xml_escape(std::string_view name)
{
    const auto byte = static_cast<unsigned char>(name[0]);
    escape_text escape{{}, 0, 1};
    if (byte == '&') {
        append(escape, "&amp;");
    } else if (byte == '<') {
        append(escape, "&lt;");
    } else if (byte == '>') {
        append(escape, "&gt;");
    } else if (byte >= 0x80 && (byte != 0xc2 || utf8_length(name) != 2)) {
        // A stray byte, or U+FFFE and U+FFFF whole.
        append(escape, "\xef\xbf\xbd");
        escape.taken = byte == 0xef && utf8_length(name) == 3 ? 3 : 1;
    } else {
        return terminal_escape(name); // C0, DEL, C1 and the backslash
    }
    return escape;
}

std::size_t columns_of(std::string_view utf8)
{
    std::size_t columns = 0;
    std::uint32_t code = 0;
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        const bool continues = (byte & 0xc0) == 0x80;
        code = continues     ? code << 6 | (byte & 0x3fU)
               : byte < 0x80 ? byte
                             : byte & (byte >= 0xf0 ? 0x07U : 0x1fU);
        const bool last =
            at + 1 == utf8.size() || (static_cast<unsigned char>(utf8[at + 1]) & 0xc0) != 0x80;
        if (last) {
            columns += is_wide(code) ? 2 : 1;
        }
    }
    return columns;
}

std::size_t escaped_columns(std::string_view name)
{
    std::size_t columns = 0;
    escape_for_xml(name, [&columns](std::string_view piece) {
        // An entity is one character on the page.
        columns += piece.size() > 1 && piece[0] == '&' ? 1 : columns_of(piece);
    });
    return columns;
}

void put_xml(row_text& row, std::string_view name)
{
    escape_for_xml(name, [&row](std::string_view piece) { put(row, piece); });
}

char* write_size(char* at, std::uint64_t bytes)
{
    // Fixed arrays: a table of pointers would be relocated at every start.
    static constexpr std::array<std::array<char, 4>, 7> units = {{{' ', 'B'},
                                                                  {' ', 'K', 'i', 'B'},
                                                                  {' ', 'M', 'i', 'B'},
                                                                  {' ', 'G', 'i', 'B'},
                                                                  {' ', 'T', 'i', 'B'},
                                                                  {' ', 'P', 'i', 'B'},
                                                                  {' ', 'E', 'i', 'B'}}};
    std::size_t unit = 0;
    std::uint64_t whole = bytes;
    std::uint64_t rest = 0; // the part below whole, in 1024ths
    while (whole >= 1024) {
        rest = whole % 1024;
        whole /= 1024;
        ++unit;
    }
    const std::size_t length = decimal_length(whole);
    put_digits_before(at + length, whole);
    at += length;
    if (unit != 0 && whole < 10 && rest * 10 / 1024 != 0) {
        *at++ = '.';
        *at++ = static_cast<char>('0' + rest * 10 / 1024);
    }
    return write_text(at, {units[unit].data(), unit == 0 ? 2U : 4U});
}

namespace {

ssize_t keep_piece(void* cookie, const char* piece, std::size_t size)
{
    captured_message& text = *static_cast<message_sink*>(cookie)->into;
    const std::size_t kept = std::min(size, text.chars.size() - text.size);
    std::memcpy(text.chars.data() + text.size, piece, kept);
    text.size += kept;
    return static_cast<ssize_t>(size); // what is cut is taken all the same
}

} // namespace

bool open_sink(message_sink& sink)
{
    // fopencookie of GLIBC_2.2.5, where fmemopen would add a version for
    // the loader to check at every start.
    sink.stream = fopencookie(&sink, "w", {nullptr, keep_piece, nullptr, nullptr});
    if (sink.stream == nullptr) {
        return false;
    }
    // Unbuffered: each piece reaches keep_piece as it is written, so a
    // message is whole once written, and stdio allocates no buffer.
    std::setvbuf(sink.stream, nullptr, _IONBF, 0);
    return true;
}

void close_sink(message_sink& sink)
{
    if (sink.stream != nullptr) {
        std::fclose(sink.stream);
        sink.stream = nullptr;
    }
}

bool capture_message(message_sink& sink, captured_message& text, const finding& found)
{
    text.size = 0;
    if (sink.stream == nullptr) {
        return false;
    }
    sink.into = &text;
    print_message(sink.stream, found);
    sink.into = nullptr;
    if (std::ferror(sink.stream) != 0) {
        text.size = 0;
        return false;
    }
    return true;
}

std::size_t line_end(std::string_view text, std::size_t width)
{
    if (text.size() <= width) {
        return text.size();
    }
    const std::size_t space = text.rfind(' ', width);
    return space == std::string_view::npos || space == 0 ? width : space;
}
