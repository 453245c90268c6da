// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The picture of a disk: one self-contained SVG 1.1 of the disk's bar,
// every region the checks know on it, what each board reader makes, and
// every finding where it lies, listed with its message. The same table,
// name and options give the same bytes. The caller checks the stream for
// errors.
#pragma once

#include <cstdio>
#include <string_view>

#include "table.h"

// name is the image's, as given; strict says whether warnings fail.
void print_svg(std::FILE* out, const checked_table& table, std::string_view name, bool strict);
