// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "rules/message.h"

#include <cinttypes>

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

void print_part(std::FILE* out, std::uint16_t number, bool in_gpt)
{
    std::fprintf(out, number <= last_slot && !in_gpt ? "slot %u" : "partition %u", number);
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
