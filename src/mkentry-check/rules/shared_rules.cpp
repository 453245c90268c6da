// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules every partition is held to, whatever its table.
#include <cinttypes>

#include "rules/message.h"
#include "rules/shared_rules.h"

namespace {

constexpr subject any_partition = subject::slot | subject::logical | subject::gpt_partition;

} // namespace

constexpr std::array<rule_info, shared_rule_count> shared_rules = {{
    {rule::past_disk_end, "past_disk_end", error_for(every_reader), any_partition,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " ends at sector %" PRIu64, found.sectors.last);
         print_past_disk(out, found.bounds);
         switch (found.at.kind) {
         case subject::slot:
             std::fputs(": Linux cuts it at the disk's end, or drops it if it starts past it; "
                        "EDK2 rejects the whole MBR and makes no partition at all; U-Boot and "
                        "GRUB make it as written and fail to read its end",
                        out);
             break;
         case subject::logical:
             std::fputs(": Linux cuts it at the disk's end, or drops it if it starts past it; "
                        "EDK2 makes no logical partition from it on; U-Boot and GRUB make it as "
                        "written and fail to read its end",
                        out);
             break;
         default:
             std::fputs(": Linux and EDK2 drop it; U-Boot and GRUB make it as written and fail "
                        "to read its end",
                        out);
             break;
         }
     }},
    {rule::overlap, "overlap", error_destroying(every_reader), any_partition,
     [](std::FILE* out, const finding& found) {
         std::fputs(" overlaps ", out);
         print_part(out, found.other, found.at.kind == subject::gpt_partition);
         std::fputs(" (sectors ", out);
         print_range(out, found.sectors);
         switch (found.at.kind) {
         case subject::slot:
             std::fputs("): writing one destroys the other, and EDK2 rejects the whole MBR", out);
             break;
         case subject::gpt_partition:
             std::fputs("): writing one destroys the other, and EDK2 makes neither", out);
             break;
         default:
             std::fputs("): writing one destroys the other", out);
             break;
         }
     }},
    {rule::over_reserved, "over_reserved", error_destroying(),
     any_partition | subject::gpt_structure,
     [](std::FILE* out, const finding& found) {
         if (found.at.kind == subject::gpt_structure) {
             std::fprintf(out, "the %s", structure_name(found.at.structure));
         }
         std::fputs(" lies over reserved sectors ", out);
         print_range(out, found.sectors);
         std::fputs(": writing it destroys what they hold", out);
     }},
    {rule::unaligned, "unaligned", warning_for(), any_partition,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out,
                      " starts at sector %" PRIu64
                      ", not on a 1 MiB boundary (a multiple of %" PRIu64 ")",
                      found.value, found.wanted);
     }},
    {rule::partial_sector, "partial_sector", warning_for(), subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out,
                      "the image is %" PRIu64 " bytes, not a whole number of %" PRIu64
                      "-byte sectors: its last %" PRIu64 " bytes are not part of the disk, and "
                      "Raspberry Pi Imager refuses such a file",
                      found.value, found.wanted, found.value % found.wanted);
     }},
}};
static_assert(rows_follow(shared_rules, rule::past_disk_end));
