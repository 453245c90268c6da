// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of an ISO 9660 volume's and its El Torito catalog's rules.
#pragma once

#include <array>

#include "rules/rules.h"

inline constexpr std::size_t iso_rule_count = rules_between(first_iso_rule, first_soc_rule);
extern const std::array<rule_info, iso_rule_count> iso_rules;
