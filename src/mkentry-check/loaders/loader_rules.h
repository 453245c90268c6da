// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of the boot loaders' rules, and their check against the table.
#pragma once

#include <array>

#include "rules/rules.h"
#include "table.h"

inline constexpr std::size_t loader_rule_count = rules_between(first_loader_rule, first_soc_rule);
extern const std::array<rule_info, loader_rule_count> loader_rules;

// Each loader's header, and the partitions, EBRs, GPT headers and arrays
// over it; a partition that starts at a loader (or its first stage) and
// holds it whole is recorded as made for it.
void check_loaders(check_context& check, loader_set& loaders, const mbr_table& mbr,
                   const gpt_table& gpt, disk_format format);

// Whether a GPT's primary array leaves room for a loader that a standard
// array (128 entries from sector 2) would meet: 56 entries, or moved.
bool array_leaves_room(const loader_set& loaders, const gpt_table& gpt, std::uint32_t sector_size);

// The loader a finding names, as its value holds it.
std::uint64_t loader_code(const boot_loader& loader);
