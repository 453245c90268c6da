// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A rule's row without its message.
#include "rules/rules.h"

constexpr std::array<rule_info, 1> rows = {{
    {rule::past_disk_end, "past_disk_end", error_for(reader::linux_kernel), subject::slot},
}};
