// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The SoC families' names, the files their ROMs load, and a FAT
// superfloppy told apart from an MBR.
#include "soc/soc.h"

#include <algorithm>

namespace {

struct family_names {
    soc_family soc;
    std::string_view key;
    const char* rom;
};

constexpr std::array<family_names, 8> families = {{
    {soc_family::allwinner, "allwinner", "the Allwinner ROM"},
    {soc_family::rockchip, "rockchip", "the Rockchip ROM"},
    {soc_family::imx6, "imx6", "the i.MX 5/6/7 ROM"},
    {soc_family::imx8m, "imx8m", "the i.MX 8M ROM"},
    {soc_family::am335x, "am335x", "the AM335x ROM"},
    {soc_family::rpi, "rpi", "the Raspberry Pi 0-3 ROM"},
    {soc_family::rpi4, "rpi4", "the Raspberry Pi 4 boot loader"},
    {soc_family::amlogic, "amlogic", "the Amlogic ROM"},
}};

// Literals, each ending in its NUL.
constexpr std::array<std::string_view, 4> file_names = {"bootcode.bin", "start.elf", "start4.elf",
                                                        "MLO"};

} // namespace

bool parse_soc(std::string_view arg, soc_family& soc)
{
    const auto* found = std::find_if(families.begin(), families.end(),
                                     [arg](const family_names& each) { return each.key == arg; });
    if (found == families.end()) {
        return false;
    }
    soc = found->soc;
    return true;
}

std::string_view soc_key(soc_family soc)
{
    const auto index = static_cast<std::size_t>(soc);
    return index != 0 && index <= families.size() ? families[index - 1].key : "none";
}

const char* rom_name(std::uint64_t soc)
{
    return soc != 0 && soc <= families.size() ? families[static_cast<std::size_t>(soc) - 1].rom
                                              : "the ROM";
}

const char* rom_file_name(std::uint64_t file)
{
    if (file >= file_names.size()) {
        return "its file";
    }
    return file_names[static_cast<std::size_t>(file)].data();
}

bool is_superfloppy(const mbr_table& mbr, const sector_bytes& sector, fat_volume& volume)
{
    const bool bad_flag =
        std::any_of(mbr.slots.begin(), mbr.slots.end(), [](const partition_entry& entry) {
            return entry.boot_flag != 0x00 && entry.boot_flag != 0x80;
        });
    const bool none_used = std::none_of(mbr.slots.begin(), mbr.slots.end(), is_used);
    return (bad_flag || none_used) && read_boot_sector(sector, volume) != fat_kind::none;
}
