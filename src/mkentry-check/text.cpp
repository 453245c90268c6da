// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "text.h"

#include <cerrno>
#include <charconv>

#include <unistd.h>

namespace {

constexpr std::array<char, 16> spaces = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                         ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

constexpr std::array<std::uint64_t, 20> powers_of_ten = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& each : powers) {
        each = power;
        power *= 10;
    }
    return powers;
}();

// "00" to "99", for writing decimal numbers two digits at a time.
constexpr std::array<char, 200> digit_pairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

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

bool write_all(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool flush(text& out)
{
    if (out.sink_error == 0 && !write_all(out.sink, out.view())) {
        out.sink_error = errno != 0 ? errno : EIO;
    }
    out.size = 0;
    return out.sink_error == 0;
}

void append(text& out, std::string_view part)
{
    if (part.size() > out.data.size() - out.size) {
        if (out.sink < 0) {
            out.overflowed = true;
            return;
        }
        // What is written after a failed write is lost anyway: the run
        // reports the failure.
        if (!flush(out) || part.size() > out.data.size()) {
            if (out.sink_error == 0 && !write_all(out.sink, part)) {
                out.sink_error = errno != 0 ? errno : EIO;
            }
            return;
        }
    }
    // Plain loops, eight bytes at a time and then one: a call to memcpy
    // would cost more to bind at start-up (full RELRO) than the report's
    // few hundred bytes cost to copy. The hardening test checks that none
    // is imported.
    char* to = out.data.data() + out.size;
    const char* from = part.data();
    std::size_t left = part.size();
    for (; left >= 8; left -= 8, to += 8, from += 8) {
        __builtin_memcpy(to, from, 8);
    }
    for (; left > 0; --left) {
        *to++ = *from++;
    }
    out.size += part.size();
}

char* put_column(char* at, std::uint64_t value, std::size_t width)
{
    // A number that fits the column, as nearly all do, needs no count of
    // its digits: they are written from the column's end back.
    std::size_t count = width;
    if (value >= powers_of_ten[width]) {
        while (count < powers_of_ten.size() && value >= powers_of_ten[count]) {
            ++count;
        }
    }
    // Columns are at most 16 wide: 16 spaces in two stores, where a loop
    // of them would become a call to memset.
    __builtin_memcpy(at, spaces.data(), spaces.size());
    char* end = at + count;
    char* digit = end;
    // Two digits at a time: half the divisions.
    for (; value >= 10; value /= 100) {
        const auto pair = static_cast<std::size_t>(2 * (value % 100));
        *--digit = digit_pairs[pair + 1];
        *--digit = digit_pairs[pair];
    }
    if (value != 0 || digit == end) {
        *--digit = static_cast<char>('0' + value);
    }
    return end;
}

char* put_hex(char* at, std::uint64_t value, std::size_t digits)
{
    constexpr std::string_view hex_digits = "0123456789abcdef";
    std::size_t count = 1;
    for (std::uint64_t rest = value >> 4; rest != 0; rest >>= 4) {
        ++count;
    }
    count = count > digits ? count : digits;
    char* end = at + count;
    for (char* digit = end; digit != at; value >>= 4) {
        *--digit = hex_digits[value & 0xf];
    }
    return end;
}

void append_number(text& out, std::uint64_t value)
{
    std::array<char, 20> digits{}; // 2^64 has 20 decimal digits
    const auto result = std::to_chars(digits.begin(), digits.end(), value);
    append(out, {digits.data(), static_cast<std::size_t>(result.ptr - digits.data())});
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
            // A run of plain ASCII, the whole of most names, in one piece.
            while (taken < value.size() && value[taken] >= 0x20 && value[taken] < 0x7f &&
                   value[taken] != '"' && value[taken] != '\\') {
                ++taken;
            }
            append(out, value.substr(0, taken));
        } else if ((taken = utf8_length(value)) != 0) {
            append(out, value.substr(0, taken));
        } else {
            taken = 1;
            append(out, "\\ufffd");
        }
        value.remove_prefix(taken);
    }
}
