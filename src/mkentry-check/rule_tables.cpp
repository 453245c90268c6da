// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Every format's rows, found by their rule.
#include <array>
#include <span>

#include "gpt/gpt_rules.h"
#include "iso/iso_rules.h"
#include "loaders/loader_rules.h"
#include "mbr/mbr_rules.h"
#include "rules/shared_rules.h"
#include "soc/soc_rules.h"

namespace {

// Each file's rows from its first rule on, in the enum's order.
const std::array<std::span<const rule_info>, rule_tables> tables = {
    shared_rules, mbr_rules, gpt_rules, iso_rules, loader_rules, soc_rules,
};

} // namespace

const rule_info& info(rule what)
{
    auto index = static_cast<std::size_t>(what);
    for (const std::span<const rule_info> rows : tables) {
        if (index < rows.size()) {
            return rows[index];
        }
        index -= rows.size();
    }
    return tables[0][0]; // rule::end names no rule
}

std::span<const rule_info> rows_of(std::size_t table) { return tables[table]; }
