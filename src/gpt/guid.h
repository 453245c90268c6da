// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// GUIDs as a GPT stores them, and their text: the first three fields are
// little-endian on the disk, the last two big-endian, so the bytes
// 28 73 2a c1 1f f8 d2 11 ba 4b 00 a0 c9 3e c9 3b read
// C12A7328-F81F-11D2-BA4B-00A0C93EC93B.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

using guid = std::array<std::uint8_t, 16>;

// Compared as two 64-bit halves: a report compares each entry's type with
// every known one.
using guid_halves = std::array<std::uint64_t, 2>;

constexpr bool same_guid(const guid& one, const guid& other)
{
    const auto mine = std::bit_cast<guid_halves>(one);
    const auto theirs = std::bit_cast<guid_halves>(other);
    return mine[0] == theirs[0] && mine[1] == theirs[1];
}

constexpr bool is_zero(const guid& id)
{
    const auto halves = std::bit_cast<guid_halves>(id);
    return (halves[0] | halves[1]) == 0;
}

// 36 characters and a terminating zero.
using guid_text = std::array<char, 37>;

enum class letter_case : std::uint8_t { lower, upper };

constexpr guid_text text_of(const guid& id, letter_case kind)
{
    // Which byte each pair of hex digits shows, in the order written.
    constexpr std::array<std::uint8_t, 16> order = {3, 2, 1,  0,  5,  4,  7,  6,
                                                    8, 9, 10, 11, 12, 13, 14, 15};
    const std::string_view digits =
        kind == letter_case::upper ? "0123456789ABCDEF" : "0123456789abcdef";
    guid_text text{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text[at++] = '-';
        }
        text[at++] = digits[id[order[i]] >> 4];
        text[at++] = digits[id[order[i]] & 0xf];
    }
    return text;
}

// From the text form, for the constants below.
constexpr guid guid_of(std::string_view text)
{
    constexpr std::array<std::uint8_t, 16> order = {3, 2, 1,  0,  5,  4,  7,  6,
                                                    8, 9, 10, 11, 12, 13, 14, 15};
    const auto value = [](char c) {
        return static_cast<std::uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    };
    guid id{};
    std::size_t at = 0;
    for (const std::uint8_t byte : order) {
        if (text[at] == '-') {
            ++at;
        }
        id[byte] = static_cast<std::uint8_t>(value(text[at]) << 4 | value(text[at + 1]));
        at += 2;
    }
    return id;
}

static_assert(text_of(guid{0x28, 0x73, 0x2a, 0xc1, 0x1f, 0xf8, 0xd2, 0x11, 0xba, 0x4b, 0x00, 0xa0,
                           0xc9, 0x3e, 0xc9, 0x3b},
                      letter_case::upper)[0] == 'C');
static_assert(guid_of("C12A7328-F81F-11D2-BA4B-00A0C93EC93B") ==
              guid{0x28, 0x73, 0x2a, 0xc1, 0x1f, 0xf8, 0xd2, 0x11, 0xba, 0x4b, 0x00, 0xa0, 0xc9,
                   0x3e, 0xc9, 0x3b});

// The partition types a board's image most often holds, by a short name.
struct known_type {
    guid id;
    std::string_view name;
};

inline constexpr std::array<known_type, 8> known_types = {{
    {guid_of("C12A7328-F81F-11D2-BA4B-00A0C93EC93B"), "EFI system"},
    {guid_of("0FC63DAF-8483-4772-8E79-3D69D8477DE4"), "Linux filesystem"},
    {guid_of("69DAD710-2CE4-4E3C-B16C-21A1D49ABED3"), "Linux root (arm)"},
    {guid_of("B921B045-1DF0-41C3-AF44-4C6F280D3FAE"), "Linux root (arm64)"},
    {guid_of("4F68BCE3-E8CD-4DB1-96E7-FBCAF984B709"), "Linux root (x86-64)"},
    {guid_of("0657FD6D-A4AB-43C4-84E5-0933C84B4F4F"), "Linux swap"},
    {guid_of("EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"), "Microsoft basic data"},
    {guid_of("21686148-6449-6E6F-744E-656564454649"), "BIOS boot"},
}};

inline constexpr guid efi_system_type = known_types[0].id;

// The short name of a type, or an empty view.
constexpr std::string_view type_name(const guid& type)
{
    for (const known_type& known : known_types) {
        if (same_guid(known.id, type)) {
            return known.name;
        }
    }
    return {};
}
