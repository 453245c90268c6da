// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Text in the picture of a disk: names escaped as XML character data, how
// many columns they take in its monospace layout, sizes in binary units,
// and a finding's message held in memory, so that it can be wrapped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "report/escape.h"
#include "report/row.h"
#include "rules/finding.h"

// How many bytes at the start of a name pass into XML as they are: the
// printable ASCII but & < > and the backslash, and valid UTF-8 but C1
// codes and U+FFFE, U+FFFF, which XML 1.0 cannot carry.
std::size_t xml_plain_length(std::string_view name);

// What stands for the bytes that start a name where none passes: a
// control byte and the backslash as the text report writes them (\033,
// \t, \\), a markup character as its entity, a byte of no valid sequence
// as U+FFFD.
escape_text xml_escape(std::string_view name);

template <typename Put> void escape_for_xml(std::string_view name, Put put)
{
    escape_in_pieces(name, xml_plain_length, xml_escape, put);
}

// The columns a run of valid UTF-8 takes: one a character, two for the
// East Asian wide ones and emoji, so that a fallback font's wider glyphs
// still fit what the layout gives them.
std::size_t columns_of(std::string_view utf8);

// The columns a name takes once escaped.
std::size_t escaped_columns(std::string_view name);

void put_xml(row_text& row, std::string_view name);

// A size in binary units, as "512 B", "4 KiB", "1.5 GiB": one decimal
// where the unit's whole number has one digit, rounded down; into at,
// returning its end. 12 characters at most.
inline constexpr std::size_t longest_size = 12;
char* write_size(char* at, std::uint64_t bytes);

// A finding's message as the report writes it, without its severity;
// one longer than chars is cut.
struct captured_message {
    std::array<char, 1024> chars;
    std::size_t size;
};

// Where messages are written: a stream of stdio's own that hands each
// piece to a function of ours, which keeps it in the message being made,
// so that no buffer is allocated and no message is copied twice.
struct message_sink {
    std::FILE* stream = nullptr;
    captured_message* into = nullptr;
};

// False when the stream cannot be made; then no message is.
bool open_sink(message_sink& sink);
void close_sink(message_sink& sink);

// False, with the message empty, when it could not be written.
bool capture_message(message_sink& sink, captured_message& text, const finding& found);

// The end of the next line of at most width columns from a message's
// start: at its last space that fits, or at width where no space does.
std::size_t line_end(std::string_view text, std::size_t width);
