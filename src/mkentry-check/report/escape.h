// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Names as they may stand in a report: a device or file name is any bytes.
#pragma once

#include <cstdio>
#include <string_view>

// For a one-line message on a terminal: control bytes (C0, DEL and C1, raw
// or in UTF-8) and the backslash are escaped as C writes them (\n, \033,
// \233, \\); other bytes pass as they are.
void put_escaped(std::FILE* out, std::string_view name);

// The inside of a JSON string, without its quotes. Valid UTF-8 stays as it
// is; a byte that is not part of it becomes U+FFFD, so the output is valid
// JSON for any name.
void put_json_chars(std::FILE* out, std::string_view value);
