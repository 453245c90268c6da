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

// What stands between a device's name and a partition's number, as the
// kernel names partition devices: sda1, but mmcblk0p1 and loop0p1.
constexpr const char* partition_infix(std::string_view device)
{
    return !device.empty() && device.back() >= '0' && device.back() <= '9' ? "p" : "";
}

// A GPT disk's part of each: its headers and partitions; in JSON the
// partitiontable object, left open for what follows.
void print_gpt_table(std::FILE* out, const checked_table& table);
void print_gpt_json_table(std::FILE* out, const checked_table& table, std::string_view device);

// A finding's message, without its severity or a line feed: the partition
// or EBR it is about first, then what is wrong and which reader minds.
void print_message(std::FILE* out, const checked_table& table, const finding& found);

// The findings kept, errors first, each kind in the order found.
template <typename Each> void for_each_finding(const checked_table& table, Each each)
{
    for (const severity level : {severity::error, severity::warning}) {
        for (std::size_t i = 0; i < table.findings.count; ++i) {
            if (info(table.findings.kept[i].what).level == level) {
                each(table.findings.kept[i]);
            }
        }
    }
}
