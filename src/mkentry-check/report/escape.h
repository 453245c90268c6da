// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Names as they may stand in a report: a device or file name is any bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string_view>

// For a one-line message on a terminal: control bytes (C0, DEL and C1, raw
// or in UTF-8) and the backslash are escaped as C writes them (\n, \033,
// \233, \\); other bytes pass as they are.
void put_escaped(std::FILE* out, std::string_view name);

// The inside of a JSON string, without its quotes. Valid UTF-8 stays as it
// is; a byte that is not part of it becomes U+FFFD, so the output is valid
// JSON for any name.
void put_json_chars(std::FILE* out, std::string_view value);

// The length of the valid UTF-8 sequence at the start of bytes, or 0.
std::size_t utf8_length(std::string_view bytes);

// The escape of what starts a name, and how many of its bytes it stands for.
struct escape_text {
    std::array<char, 8> chars; // \302\233 at the longest
    std::size_t size;
    std::size_t taken;
};

// How many bytes at the start of a name pass as they are, in each form;
// where none do, the escape of what starts it.
std::size_t terminal_plain_length(std::string_view name);
escape_text terminal_escape(std::string_view name);
std::size_t json_plain_length(std::string_view value);
escape_text json_escape(std::string_view value);

// A name in pieces, each a run that passes as it is or one escape, handed
// to put: written a run at a time, or into a row built whole, rather than
// a byte at a time.
template <typename Put>
void escape_in_pieces(std::string_view text, std::size_t (*plain_length)(std::string_view),
                      escape_text (*escape_of)(std::string_view), Put put)
{
    while (!text.empty()) {
        if (const std::size_t plain = plain_length(text); plain != 0) {
            put(text.substr(0, plain));
            text.remove_prefix(plain);
        } else {
            const escape_text escape = escape_of(text);
            put(std::string_view(escape.chars.data(), escape.size));
            text.remove_prefix(escape.taken);
        }
    }
}

template <typename Put> void escape_for_terminal(std::string_view name, Put put)
{
    escape_in_pieces(name, terminal_plain_length, terminal_escape, put);
}

template <typename Put> void escape_for_json(std::string_view value, Put put)
{
    escape_in_pieces(value, json_plain_length, json_escape, put);
}
