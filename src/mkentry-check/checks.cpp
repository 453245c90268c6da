// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include <algorithm>

#include "checks.h"

void add(checked_table& table, const finding& found)
{
    finding_list& list = table.findings;
    const bool error = is_error(found.what);
    ++(error ? list.errors : list.warnings);
    if (list.count < list.kept.size()) {
        list.kept[list.count++] = found;
        return;
    }
    ++list.left_out;
    if (!error) {
        return;
    }
    // Full: the last warning kept makes room, so that what is kept fails
    // the table as the whole list would.
    const auto last_warning =
        std::find_if(list.kept.rbegin(), list.kept.rend(),
                     [](const finding& kept) { return !is_error(kept.what); });
    if (last_warning != list.kept.rend()) {
        std::move(last_warning.base(), list.kept.end(), last_warning.base() - 1);
        list.kept.back() = found;
    }
}

bool fails(const checked_table& table, bool strict)
{
    return table.findings.errors != 0 || (strict && table.findings.warnings != 0);
}

bool read_disk(checked_table& table, const sector_reader& reader, std::uint64_t offset,
               const char* what, std::span<std::uint8_t> out)
{
    const char* reason = reader.read(reader.context, offset, out);
    if (reason != nullptr) {
        table.failure = {offset / table.disk.sector_size, reason, what};
        return false;
    }
    return true;
}

bool read_table_sector(checked_table& table, const sector_reader& reader, std::uint64_t sector,
                       const char* what, std::span<std::uint8_t> out)
{
    // Only sectors inside the disk are read, and the disk's bytes fit in 64 bits.
    return read_disk(table, reader, sector * table.disk.sector_size, what, out);
}
