// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The four models, over one read of each sector.
#include <algorithm>

#include "disk/sorted.h"
#include "readers/access.h"

namespace {

// By the reader's numbers: Linux makes the slots after an extended one
// once its chain is read, and EDK2 nests 2.1 under 2.
void sort_by_number(reader_view& view)
{
    const auto by_number = [](const made_partition& one, const made_partition& other) {
        return one.number != other.number ? one.number < other.number : one.nested < other.nested;
    };
    sort_unless_sorted(std::span(view.partitions).first(view.count), by_number);
}

} // namespace

void read_as_each(const model_disk& disk, reader_views& views)
{
    forget_reads(disk);
    // Only what a view counts is read: its arrays of partitions need no
    // clearing.
    for (reader_view& view : views) {
        view.scheme = reader_scheme::none;
        view.count = 0;
        view.not_kept = 0;
        view.write_count = 0;
        view.fails = reader_fails::none;
    }
    read_as_linux(disk, views[static_cast<std::size_t>(board::linux_kernel)]);
    read_as_u_boot(disk, views[static_cast<std::size_t>(board::u_boot)]);
    read_as_edk2(disk, views[static_cast<std::size_t>(board::edk2)]);
    read_as_grub(disk, views[static_cast<std::size_t>(board::grub)]);
    for (reader_view& view : views) {
        sort_by_number(view);
    }
}
