// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of a FAT superfloppy's rule and of what boot ROMs demand.
#pragma once

#include <array>

#include "rules/rules.h"

inline constexpr std::size_t soc_rule_count = rules_between(first_soc_rule, rule::end);
extern const std::array<rule_info, soc_rule_count> soc_rules;
