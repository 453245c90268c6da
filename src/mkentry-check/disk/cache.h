// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// One read of each sector: the checks and the four reader models ask for
// the same MBR, EBRs, headers and arrays, and a cache of recent sectors
// answers all but the first ask.
#pragma once

#include <cstdint>

#include "disk/reader.h"

// A reader that reads through raw and keeps what it read, for one disk
// of sector_size sectors at a time: the last call's cache is dropped.
sector_reader caching_reader(const sector_reader& raw, std::uint32_t sector_size);
