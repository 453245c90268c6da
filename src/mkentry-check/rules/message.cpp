// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "rules/message.h"

#include <array>
#include <charconv>
#include <cinttypes>
#include <cstring>
#include <string_view>

namespace {

inline constexpr std::uint16_t last_slot = 4;

void print_subject(std::FILE* out, const place& at)
{
    switch (at.kind) {
    case subject::slot:
    case subject::logical:
    case subject::gpt_partition:
        print_part(out, at.number, at.kind == subject::gpt_partition);
        // A Minix subpartition has no EBR.
        if (at.ebr != 0) {
            std::fprintf(out, " (EBR at sector %" PRIu64 ")", at.ebr);
        }
        break;
    case subject::ebr:
        std::fprintf(out, "EBR at sector %" PRIu64 " (in extended slot %u)", at.ebr,
                     at.extended_slot);
        break;
    case subject::boot_image:
        std::fprintf(out, "El Torito boot image %u", at.number);
        break;
    case subject::disk:
    case subject::gpt_structure:
        break;
    }
}

} // namespace

void print_message(std::FILE* out, const finding& found)
{
    print_subject(out, found.at);
    info(found.what).message.print(out, found);
    std::fputs(".", out); // a sentence, in text and in JSON
}

// Without printf, which costs a finding's line about a thousand
// instructions: every finding names what it is about.
void print_part(std::FILE* out, std::uint16_t number, bool in_gpt)
{
    std::array<char, 16> text{"partition "};
    std::string_view name = number <= last_slot && !in_gpt ? "slot " : "partition ";
    std::memcpy(text.data(), name.data(), name.size());
    const auto end =
        std::to_chars(text.data() + name.size(), text.data() + text.size() - 1, number);
    *end.ptr = '\0';
    std::fputs(text.data(), out);
}

void print_range(std::FILE* out, const sector_range& sectors)
{
    std::fprintf(out, "%" PRIu64 "-%" PRIu64, sectors.first, sectors.last);
}

void print_past_disk(std::FILE* out, const sector_range& disk)
{
    if (is_empty(disk)) {
        std::fputs(", past the end of the disk (no sectors)", out);
    } else {
        std::fputs(", past the end of the disk (sectors ", out);
        print_range(out, disk);
        std::fputs(")", out);
    }
}

const char* structure_name(gpt_part structure)
{
    switch (structure) {
    case gpt_part::primary_header:
        return "primary GPT header";
    case gpt_part::primary_array:
        return "primary GPT entry array";
    case gpt_part::backup_header:
        return "backup GPT header";
    case gpt_part::backup_array:
        return "backup GPT entry array";
    case gpt_part::none:
        break;
    }
    return "GPT";
}
