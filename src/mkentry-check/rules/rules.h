// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules a partition table is held to, each declared once as a row:
// its stable name, its severity and the readers it concerns, what it is
// about, and its message. An error is what makes a board's reader (Linux,
// U-Boot, EDK2, GRUB) not make every partition as written, or a layout
// where writing one partition destroys another or the table. A warning is
// what only a desktop tool minds, or what works but is probably not what
// the image's author meant.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

// Every rule, grouped by the file whose rows declare it.
enum class rule : std::uint8_t {
    // rules/shared_rules.cpp: any partition against the disk and the others
    past_disk_end,
    overlap,
    over_reserved,
    unaligned,
    partial_sector,
    // mbr/mbr_rules.cpp: the slots, the extended partition's chain, Minix
    no_signature,
    bad_boot_flag,
    size_zero,
    starts_at_zero,
    past_last_mbr_sector,
    two_extended,
    minix_subpartitions,
    ebr_no_signature,
    ebr_bad_boot_flag,
    chain_loop,
    chain_too_long,
    type_85,
    link_not_extended,
    link_size_zero,
    link_outside,
    first_link_past_extended,
    link_over_partition,
    link_past_disk_end,
    link_before_partition,
    ebr_without_partition,
    ebr_extra_entry,
    logical_size_zero,
    logical_type_zero,
    logical_at_ebr,
    logical_outside,
    logical_over_ebr,
    out_of_order,
    ends_on_last_mbr_sector,
    several_bootable,
    type_zero_used,
    no_disk_identifier,
    // gpt/gpt_rules.cpp: a GPT disk's MBR, headers, arrays and entries
    ee_not_at_sector_1,
    gpt_primary_invalid,
    gpt_backup_invalid,
    gpt_sector_size,
    gpt_over_partition,
    gpt_entry_reversed,
    gpt_entry_outside_usable,
    gpt_entry_past_255,
    gpt_hidden_boot,
    gpt_blocks_past_32_bits,
    gpt_backup_differs,
    gpt_backup_not_at_end,
    gpt_backup_flawed,
    ee_size,
    ee_not_first,
    ee_boot_flag,
    hybrid,
    hybrid_mismatch,
    hybrid_overlap,
    gpt_array_placement,
    gpt_header_size,
    gpt_revision,
    gpt_hidden,
    gpt_entry_past_128,
    gpt_entry_past_56,
    gpt_no_boot_partition,
    gpt_guid,
    stale_gpt,
    // iso/iso_rules.cpp: an ISO 9660 volume and its El Torito boot catalog
    boot_image_past_disk_end,
    el_torito_catalog_bad,
    isohybrid,
    el_torito_boot,
    // loaders/loader_rules.cpp: the boot loaders where the ROMs look
    loader_invalid,
    loader_under_partition,
    loader_under_table,
    loader_over_gpt_array,
    // soc/soc_rules.cpp: a FAT superfloppy, and what a boot ROM demands of
    // the card (--soc)
    superfloppy_read_as_mbr,
    rom_needs_mbr,
    rom_hybrid_mismatch,
    rom_not_fat_type,
    rom_no_fat_file_system,
    rom_no_fat_partition,
    rom_file_missing,
    rom_no_active_fat,
    rom_several_active,
    rom_gpt_at_loader,
    rom_array_at_ivt,
    rom_no_loader,
    rom_fat_type_unverified,
    end,
};

// The first rule of each file's rows; each file declares the rules up to
// the next one's first.
inline constexpr rule first_mbr_rule = rule::no_signature;
inline constexpr rule first_gpt_rule = rule::ee_not_at_sector_1;
inline constexpr rule first_iso_rule = rule::boot_image_past_disk_end;
inline constexpr rule first_loader_rule = rule::loader_invalid;
inline constexpr rule first_soc_rule = rule::superfloppy_read_as_mbr;

constexpr std::size_t rules_between(rule first, rule end)
{
    return static_cast<std::size_t>(end) - static_cast<std::size_t>(first);
}

enum class severity : std::uint8_t { error, warning };

// The board readers a rule can concern, as a set; rom, the SoC's boot ROM
// (or the SPL it starts), reads the loaders and what --soc demands, not
// the table.
enum class reader : std::uint8_t {
    none = 0,
    linux_kernel = 1,
    u_boot = 2,
    edk2 = 4,
    grub = 8,
    rom = 16,
};

constexpr reader operator|(reader one, reader other)
{
    return static_cast<reader>(static_cast<unsigned>(one) | static_cast<unsigned>(other));
}

inline constexpr reader every_reader =
    reader::linux_kernel | reader::u_boot | reader::edk2 | reader::grub;

// What a finding can be about, as a set.
enum class subject : std::uint8_t {
    disk = 1,           // the disk as a whole
    slot = 2,           // one of the four slots of the first sector
    logical = 4,        // a partition Linux makes past the slots
    ebr = 8,            // an EBR of which Linux makes no partition
    gpt_structure = 16, // a GPT header or entry array
    gpt_partition = 32, // a GPT entry
    boot_image = 64,    // an El Torito boot image
};

constexpr subject operator|(subject one, subject other)
{
    return static_cast<subject>(static_cast<unsigned>(one) | static_cast<unsigned>(other));
}

constexpr bool includes(subject set, subject one)
{
    return (static_cast<unsigned>(set) & static_cast<unsigned>(one)) != 0;
}

// How much a rule matters, and to whom. The constructor refuses at
// compile time an error that names no reader and destroys nothing, and a
// row without one does not compile either.
enum class loss : std::uint8_t { none, data };

// Never defined: a call of it is what does not compile.
void an_error_names_its_readers_or_destroys_data();

struct verdict {
    severity level;
    reader readers;
    bool destroys; // writing a partition destroys another, the table or a loader

    consteval verdict(severity how, reader whom, loss what)
        : level(how), readers(whom), destroys(what == loss::data)
    {
        if (how == severity::error && whom == reader::none && what == loss::none) {
            an_error_names_its_readers_or_destroys_data();
        }
    }
};

consteval verdict error_for(reader readers, loss what = loss::none)
{
    return {severity::error, readers, what};
}

consteval verdict error_destroying(reader readers = reader::none)
{
    return {severity::error, readers, loss::data};
}

consteval verdict warning_for(reader readers = reader::none)
{
    return {severity::warning, readers, loss::none};
}

struct finding;

// A rule's message, from the finding alone, after what it is about ("slot
// 2", "partition 5 (EBR at sector 34816)"): what is wrong, which reader
// minds. Only a function makes one, so a row without its message does not
// compile.
struct message_text {
    using printer = void (*)(std::FILE* out, const finding& found);
    printer print;
    // A captureless lambda, written in the row.
    template <typename Text>
    // cppcheck-suppress noExplicitConstructor ; the row's lambda converts
    consteval message_text(Text text) : print(text) // NOLINT(google-explicit-constructor)
    {
    }
};

// A rule's name, held in its row rather than pointed to: a pointer in
// each of a hundred rows would be relocated at every start.
struct rule_name {
    static constexpr std::size_t longest = 27;
    std::array<char, longest> chars{};
    std::uint8_t size;

    // From the row's literal; a longer name does not compile.
    template <std::size_t count>
    // cppcheck-suppress noExplicitConstructor ; the row's literal converts
    consteval rule_name(const char (&text)[count]) // NOLINT(google-explicit-constructor)
        : size(static_cast<std::uint8_t>(count - 1))
    {
        static_assert(count - 1 <= longest, "a rule's name is at most 27 characters");
        for (std::size_t i = 0; i + 1 < count; ++i) {
            chars[i] = text[i];
        }
    }

    [[nodiscard]] constexpr std::string_view text() const { return {chars.data(), size}; }
};

struct rule_info {
    rule what;
    rule_name name; // stable, for scripts that read the JSON report
    verdict level;
    subject about;
    message_text message;
};

// A file's rows, the rules from its first on, in the enum's order.
template <std::size_t count>
constexpr bool rows_follow(const std::array<rule_info, count>& rows, rule first)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (static_cast<std::size_t>(rows[i].what) != static_cast<std::size_t>(first) + i ||
            rows[i].name.size == 0) {
            return false;
        }
    }
    return true;
}

// The row of a rule.
const rule_info& info(rule what);

// Every row, for the manual's list and the tests.
std::span<const rule_info> rows_of(std::size_t table);
inline constexpr std::size_t rule_tables = 6;

inline bool is_error(rule what) { return info(what).level.level == severity::error; }
