// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of the rules every partition is held to.
#pragma once

#include <array>

#include "rules/rules.h"

inline constexpr std::size_t shared_rule_count = rules_between(rule::past_disk_end, first_mbr_rule);
extern const std::array<rule_info, shared_rule_count> shared_rules;
