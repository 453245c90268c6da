// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of a GPT disk's rules.
#pragma once

#include <array>

#include "rules/rules.h"

inline constexpr std::size_t gpt_rule_count = rules_between(first_gpt_rule, rule::end);
extern const std::array<rule_info, gpt_rule_count> gpt_rules;
