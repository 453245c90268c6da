// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "rules/context.h"

#include <algorithm>

void add(finding_list& list, const finding& found)
{
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
        // Swapped up to the end rather than moved with memmove, one more
        // libc function looked up at every start: a rare path.
        for (auto at = last_warning.base() - 1; at + 1 != list.kept.end(); ++at) {
            std::iter_swap(at, at + 1);
        }
        list.kept.back() = found;
    }
}

bool said_unaligned(const finding_list& findings, std::uint64_t first)
{
    const auto end = findings.kept.begin() + static_cast<std::ptrdiff_t>(findings.count);
    return std::any_of(findings.kept.begin(), end, [first](const finding& found) {
        return found.what == rule::unaligned && found.value == first;
    });
}

bool read_disk(check_context& check, std::uint64_t offset, const char* what,
               std::span<std::uint8_t> out)
{
    const char* reason = check.reader.read(check.reader.context, offset, out);
    if (reason != nullptr) {
        check.failure = {offset / check.disk.sector_size, reason, what};
        return false;
    }
    return true;
}

bool read_table_sector(check_context& check, std::uint64_t sector, const char* what,
                       std::span<std::uint8_t> out)
{
    // Only sectors inside the disk are read, and the disk's bytes fit in 64 bits.
    return read_disk(check, sector * check.disk.sector_size, what, out);
}
