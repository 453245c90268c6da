// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "report.h"

#include <string_view>

namespace {

void append(text& out, std::string_view part)
{
    if (part.size() > out.data.size() - out.size) {
        out.overflowed = true;
        return;
    }
    for (const char c : part) {
        out.data[out.size++] = c;
    }
}

// The decimal digits of value, right-aligned in a buffer of their own.
struct decimal {
    std::array<char, 20> digits{}; // 2^64 has 20 decimal digits
    std::size_t count = 0;
};

decimal to_decimal(std::uint64_t value)
{
    decimal out;
    do {
        out.digits[out.digits.size() - ++out.count] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return out;
}

std::string_view digits_of(const decimal& number)
{
    return {number.digits.data() + number.digits.size() - number.count, number.count};
}

void append_number(text& out, std::uint64_t value) { append(out, digits_of(to_decimal(value))); }

// A number right-aligned in a column of the table, 11 characters wide.
void append_column(text& out, std::uint64_t value)
{
    const decimal number = to_decimal(value);
    append(out, std::string_view("           ").substr(number.count > 10 ? 10 : number.count));
    append(out, digits_of(number));
}

void append_hex(text& out, std::uint64_t byte)
{
    constexpr std::string_view hex_digits = "0123456789abcdef";
    const char pair[2] = {hex_digits[(byte >> 4) & 0xf], hex_digits[byte & 0xf]};
    append(out, {pair, 2});
}

void append_slot(text& out, std::string_view before, std::uint8_t slot)
{
    append(out, before);
    append(out, "slot ");
    append_number(out, slot);
}

void append_range(text& out, std::uint64_t first, std::uint64_t last)
{
    append_number(out, first);
    append(out, "-");
    append_number(out, last);
}

} // namespace

void format_table(text& out, const table_check& check, std::uint64_t disk_sectors)
{
    append(out, "disk: ");
    append_number(out, disk_sectors);
    append(out, " sectors of 512 bytes\nslot boot type      first    sectors       last\n");
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = check.slots[slot - 1];
        append(out, "   ");
        append_number(out, slot);
        append(out, "   ");
        append_hex(out, entry.boot_flag);
        append(out, "   ");
        append_hex(out, entry.part_type);
        append_column(out, entry.lba_begin);
        append_column(out, entry.lba_size);
        if (entry.lba_size == 0) {
            append(out, "          -\n");
            continue;
        }
        append_column(out, std::uint64_t{entry.lba_begin} + entry.lba_size - 1);
        append(out, "\n");
    }
}

void format_finding(text& out, const finding& found)
{
    append(out, is_error(found.what) ? "error: " : "warning: ");
    // Every finding but the signature's is about a slot, named first.
    if (found.slot != 0) {
        append_slot(out, "", found.slot);
    }
    switch (found.what) {
    case rule::no_signature:
        append(out, "no 55 aa signature at byte 510 (found ");
        append_hex(out, found.a);
        append(out, " ");
        append_hex(out, found.b);
        append(out, "): readers see no partition table");
        break;
    case rule::bad_boot_flag:
        append(out, " has boot flag ");
        append_hex(out, found.a);
        append(out, ", not 00 or 80: Linux and GRUB then read no partition at all");
        break;
    case rule::gpt_protective:
        append(out, " has type ee (GPT protective): Linux reads no partition from this table;"
                    " for a GPT disk, check the GPT with a GPT tool such as sgdisk -v");
        break;
    case rule::size_zero:
        append(out, " has type ");
        append_hex(out, found.a);
        append(out, " but size 0");
        break;
    case rule::starts_at_zero:
        append(out, " starts at sector 0, over the partition table itself");
        break;
    case rule::past_disk_end:
        append(out, " ends at sector ");
        append_number(out, found.a);
        append(out, ", past the end of the disk (sectors 0-");
        append_number(out, found.b - 1);
        append(out, ")");
        break;
    case rule::past_32_bits:
        append(out, " has first sector + size = ");
        append_number(out, found.a);
        append(out, ", more than 32 bits hold");
        break;
    case rule::overlap:
        append_slot(out, " overlaps ", found.other);
        append(out, " (sectors ");
        append_range(out, found.a, found.b);
        append(out, ")");
        break;
    case rule::out_of_order:
        append(out, " (sector ");
        append_number(out, found.a);
        append_slot(out, ") starts before ", found.other);
        append(out, " (sector ");
        append_number(out, found.b);
        append(out, "): the slots with a type must be in ascending order");
        break;
    case rule::several_bootable:
        append_slot(out, " is marked bootable, and so is ", found.other);
        break;
    case rule::extended:
        append(out, " has extended type ");
        append_hex(out, found.a);
        append(out, ": the logical partitions inside it are not checked");
        break;
    case rule::type_zero_used:
        append(out, " has type 00 but size ");
        append_number(out, found.a);
        append(out, ": Linux uses it, UEFI ignores it");
        break;
    case rule::unaligned:
        append(out, " starts at sector ");
        append_number(out, found.a);
        append(out, ", not on a 1 MiB boundary (a multiple of 2048)");
        break;
    }
    append(out, "\n");
}
