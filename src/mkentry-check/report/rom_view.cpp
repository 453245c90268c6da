// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The ROM --soc names, as a reader of the card: what it loads and from
// where, for people a line, for scripts the readers object's "rom"; and a
// superfloppy's file system in place of a table.
#include <cinttypes>

#include "report/views.h"

namespace {

constexpr std::array<const char*, 3> table_keys = {"none", "mbr", "gpt"};

bool loads_raw_sectors(soc_family soc)
{
    return soc != soc_family::rpi && soc != soc_family::rpi4 && soc != soc_family::am335x;
}

void print_place(std::FILE* out, const rom_load& load)
{
    switch (load.table) {
    case rom_table::mbr:
        std::fprintf(out, "slot %u", load.partition);
        break;
    case rom_table::gpt:
        std::fprintf(out, "partition %u", load.partition);
        break;
    case rom_table::none:
        std::fputs("the superfloppy", out);
        break;
    }
}

} // namespace

void print_rom_text(std::FILE* out, const rom_view& rom, const loader_set& loaders)
{
    if (rom.soc == soc_family::none) {
        return;
    }
    std::fprintf(out, "rom: %s loads", rom_name(static_cast<std::uint64_t>(rom.soc)));
    if (rom.loader != 0) {
        const boot_loader& loader = loaders.found[rom.loader - 1];
        std::fprintf(out, " the %s %s at sectors %" PRIu64 "-%" PRIu64 "\n",
                     family_name(loader.family), kind_name(loader.kind), loader.sectors.first,
                     loader.sectors.last);
        return;
    }
    if (rom.load_count == 0) {
        std::fputs(loads_raw_sectors(rom.soc) ? " its loader from raw sectors\n"
                                              : " nothing from this card\n",
                   out);
        return;
    }
    for (std::size_t i = 0; i < rom.load_count; ++i) {
        const rom_load& load = rom.loads[i];
        std::fprintf(out, "%s %s from ", i == 0 ? "" : ",",
                     rom_file_name(static_cast<std::uint64_t>(load.file)));
        print_place(out, load);
        std::fputs(load.found ? " (found)" : " (missing)", out);
    }
    std::fputs("\n", out);
}

void print_rom_json(std::FILE* out, const rom_view& rom, const loader_set& loaders)
{
    if (rom.soc == soc_family::none) {
        return;
    }
    const std::string_view key = soc_key(rom.soc);
    std::fprintf(out, ",\n      \"rom\": {\"soc\": \"%.*s\", \"loads\": [",
                 static_cast<int>(key.size()), key.data());
    for (std::size_t i = 0; i < rom.load_count; ++i) {
        const rom_load& load = rom.loads[i];
        std::fprintf(out, R"(%s{"file": "%s", "table": "%s", "partition": %u, "found": %s})",
                     i == 0 ? "" : ", ", rom_file_name(static_cast<std::uint64_t>(load.file)),
                     table_keys[static_cast<std::size_t>(load.table)], load.partition,
                     load.found ? "true" : "false");
    }
    std::fputs("]", out);
    if (rom.loader != 0) {
        const boot_loader& loader = loaders.found[rom.loader - 1];
        std::fprintf(out,
                     R"(, "loader": {"family": "%s", "kind": "%s", "first": %)" PRIu64
                     R"(, "last": %)" PRIu64 "}",
                     family_key(loader.family), kind_key(loader.kind), loader.sectors.first,
                     loader.sectors.last);
    }
    std::fputs("}", out);
}

void print_superfloppy_text(std::FILE* out, const fat_volume& volume)
{
    std::fprintf(out,
                 "superfloppy: a %s file system at sector 0, of %" PRIu32
                 " clusters, and no partition table\n",
                 fat_name(volume.kind), volume.clusters);
}

void print_superfloppy_json(std::FILE* out, const fat_volume& volume)
{
    std::fprintf(out, ",\n   \"superfloppy\": {\"fat\": \"%s\", \"clusters\": %" PRIu32 "}",
                 fat_name(volume.kind), volume.clusters);
}
