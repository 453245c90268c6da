// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules of the boot loaders a disk holds: a header the ROM rejects,
// and a partition or a table structure over a loader, where writing one
// destroys the other. A finding names its loader in value (its family,
// kind, problem and stage), wanted (its header's byte) and bounds (its
// sectors); sectors are those both claim.
#include <cinttypes>

#include "loaders/loader_rules.h"
#include "rules/message.h"

namespace {

constexpr reader rom = reader::rom;

struct named_loader {
    loader_family family;
    loader_kind kind;
    loader_problem problem;
    bool first_stage;
};

named_loader loader_in(const finding& found)
{
    return {static_cast<loader_family>(found.value & 0xff),
            static_cast<loader_kind>(found.value >> 8 & 0xff),
            static_cast<loader_problem>(found.value >> 16 & 0xff), (found.value >> 24 & 1) != 0};
}

// "the Allwinner eGON loader at byte 8192 (sectors 16-63)", "the
// Allwinner loader's U-Boot proper uImage at byte 40960 (sectors 80-879)".
void print_loader(std::FILE* out, const finding& found)
{
    const named_loader loader = loader_in(found);
    std::fprintf(out,
                 loader.first_stage ? "the %s %s loader at byte %" PRIu64 " (sectors "
                                    : "the %s loader's U-Boot proper %s at byte %" PRIu64
                                      " (sectors ",
                 family_name(loader.family), kind_name(loader.kind), found.wanted);
    print_range(out, found.bounds);
    std::fputs(")", out);
}

// How to make room for a loader that a standard array meets.
void print_room(std::FILE* out, const finding& found)
{
    const named_loader loader = loader_in(found);
    if (!loader.first_stage) {
        return;
    }
    if (loader.family == loader_family::allwinner && found.wanted == 8192) {
        std::fputs("; make room with a 56-entry array that ends at sector 15 (sgdisk "
                   "--resize-table 56, or table-length: 56 in an sfdisk script), an array moved "
                   "past the loader (sgdisk -j, genimage gpt-location), or the loader at 128 KiB "
                   "on the H3 and later SoCs",
                   out);
    } else if (loader.family == loader_family::imx6) {
        std::fputs("; sector 2 is the IVT's own, so move the array past the loader (sgdisk -j, "
                   "genimage gpt-location) and start every partition after it",
                   out);
    } else if (loader.family == loader_family::amlogic) {
        std::fputs("; the loader starts at sector 1, where a GPT's header lies, so only an MBR "
                   "leaves it room",
                   out);
    }
}

} // namespace

// clang-format off
constexpr std::array<rule_info, loader_rule_count> loader_rules = {{
    {rule::loader_invalid, "loader_invalid", error_for(rom), subject::disk,
     [](std::FILE* out, const finding& found) {
         print_loader(out, found);
         std::fprintf(out, ": %s: the %s rejects it", problem_text(loader_in(found).problem),
                      loader_in(found).first_stage ? "ROM" : "SPL");
     }},
    {rule::loader_under_partition, "loader_under_partition", error_destroying(),
     subject::slot | subject::logical | subject::gpt_partition,
     [](std::FILE* out, const finding& found) {
         std::fputs(" lies over sectors ", out);
         print_range(out, found.sectors);
         std::fputs(" of ", out);
         print_loader(out, found);
         std::fputs(", and is no partition made for it, which starts where the loader does and "
                    "holds it whole: writing the partition destroys the loader, and writing the "
                    "loader destroys what the partition holds", out);
     }},
    {rule::loader_under_table, "loader_under_table", error_destroying(),
     subject::gpt_structure | subject::ebr,
     [](std::FILE* out, const finding& found) {
         if (found.at.kind == subject::gpt_structure) {
             std::fprintf(out, "the %s", structure_name(found.at.structure));
         }
         std::fputs(" lies over sectors ", out);
         print_range(out, found.sectors);
         std::fputs(" of ", out);
         print_loader(out, found);
         std::fputs(": writing the table destroys the loader, and writing the loader destroys "
                    "the table", out);
         if (found.at.structure == gpt_part::primary_array ||
             found.at.structure == gpt_part::primary_header) {
             print_room(out, found);
         }
     }},
    {rule::loader_over_gpt_array, "loader_over_gpt_array",
     error_for(reader::linux_kernel, loss::data), subject::gpt_structure,
     [](std::FILE* out, const finding& found) {
         std::fputs("the primary GPT entry array fails its CRC where ", out);
         print_loader(out, found);
         std::fputs(" lies in it (sectors ", out);
         print_range(out, found.sectors);
         std::fputs("), while the backup holds: the loader was written over the array; Linux "
                    "makes no partition, U-Boot reads the backup without a word, and EDK2 "
                    "writes the primary array back over the loader", out);
         print_room(out, found);
     }},
}};
// clang-format on
static_assert(rows_follow(loader_rules, first_loader_rule));

std::uint64_t loader_code(const boot_loader& loader)
{
    return static_cast<std::uint64_t>(loader.family) |
           static_cast<std::uint64_t>(loader.kind) << 8 |
           static_cast<std::uint64_t>(loader.problem) << 16 |
           static_cast<std::uint64_t>(loader.first_stage ? 1 : 0) << 24;
}
