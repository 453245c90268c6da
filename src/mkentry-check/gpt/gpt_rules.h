// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of a GPT disk's rules.
#pragma once

#include <array>

#include "rules/rules.h"

inline constexpr std::size_t gpt_rule_count = rules_between(first_gpt_rule, first_iso_rule);
extern const std::array<rule_info, gpt_rule_count> gpt_rules;

// What the readers make of a disk whose primary GPT is invalid, as a
// gpt_primary_invalid finding quotes it: these bits in other, in bounds
// the sectors EDK2 writes, and in value, where the array's CRC is what is
// wrong, the partitions GRUB makes of its entries.
inline constexpr std::uint16_t u_boot_makes_some = 1;
inline constexpr std::uint16_t edk2_makes_some = 2;
inline constexpr std::uint16_t array_holds_no_entries = 4;
inline constexpr std::uint16_t grub_makes_some = 8;
