// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of an MBR's rules: its slots, its extended partitions' chains
// and its Minix tables.
#pragma once

#include <array>

#include "rules/rules.h"

inline constexpr std::size_t mbr_rule_count = rules_between(first_mbr_rule, first_gpt_rule);
extern const std::array<rule_info, mbr_rule_count> mbr_rules;
