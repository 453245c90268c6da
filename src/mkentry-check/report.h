// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The checker's report: for people, the table and one line per finding;
// for scripts, one JSON object in the form of sfdisk --json.
#pragma once

#include <string_view>

#include "rules.h"
#include "text.h"

// Where the disk's size came from, for the report's first line.
enum class size_source : std::uint8_t { image, option };

void format_report(text& out, const checked_table& table, size_source source);
// One finding's line: "error: " or "warning: ", the message, a line feed.
void format_finding(text& out, const checked_table& table, const finding& found);
void format_json(text& out, const checked_table& table, std::string_view device);
