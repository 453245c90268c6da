// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The four models, over one read of each sector.
#include <algorithm>

#include "readers/access.h"

namespace {

// By the reader's numbers: Linux makes the slots after an extended one
// once its chain is read, and EDK2 nests 2.1 under 2.
void sort_by_number(reader_view& view)
{
    std::sort(view.partitions.begin(),
              view.partitions.begin() + static_cast<std::ptrdiff_t>(view.count),
              [](const made_partition& one, const made_partition& other) {
                  return one.number != other.number ? one.number < other.number
                                                    : one.nested < other.nested;
              });
}

} // namespace

void read_as_each(const model_disk& disk, reader_views& views)
{
    forget_crcs();
    views = {};
    read_as_linux(disk, views[static_cast<std::size_t>(board::linux_kernel)]);
    read_as_u_boot(disk, views[static_cast<std::size_t>(board::u_boot)]);
    read_as_edk2(disk, views[static_cast<std::size_t>(board::edk2)]);
    read_as_grub(disk, views[static_cast<std::size_t>(board::grub)]);
    for (reader_view& view : views) {
        sort_by_number(view);
    }
}
