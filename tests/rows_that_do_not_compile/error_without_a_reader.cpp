// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// An error that names no reader and destroys nothing.
#include "rules/rules.h"

constexpr std::array<rule_info, 1> rows = {{
    {rule::past_disk_end, "past_disk_end", error_for(reader::none), subject::slot,
     [](std::FILE*, const finding&) {}},
}};
