// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The checker's report: for people, the table and one line per finding,
// errors first; for scripts, one JSON object in the form of sfdisk --json.
// The caller checks the stream for errors.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "table.h"

// Where the disk's size came from, for the report's first line.
enum class size_source : std::uint8_t { image, option };

void print_report(std::FILE* out, const checked_table& table, size_source source);
void print_json(std::FILE* out, const checked_table& table, std::string_view device);

// The findings kept, errors first, each kind in the order found.
template <typename Each> void for_each_finding(const checked_table& table, Each each)
{
    const finding_list& findings = table.check.findings;
    for (const severity level : {severity::error, severity::warning}) {
        for (std::size_t i = 0; i < findings.count; ++i) {
            if (info(findings.kept[i].what).level.level == level) {
                each(findings.kept[i]);
            }
        }
    }
}
