// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Writing a finding's message, and the pieces the rules' messages share.
#pragma once

#include <cstdint>
#include <cstdio>

#include "rules/finding.h"

// A finding's message, without its severity or a line feed: what it is
// about first ("slot 2", "partition 5 (EBR at sector 34816)"), then its
// rule's message, then a full stop.
void print_message(std::FILE* out, const finding& found);

// "slot 2", or "partition 5": Linux's number past the slots, and every
// partition of a GPT.
void print_part(std::FILE* out, std::uint16_t number, bool in_gpt = false);

// "34816-96255".
void print_range(std::FILE* out, const sector_range& sectors);

// ", past the end of the disk (sectors 0-131071)", for a disk's sectors.
void print_past_disk(std::FILE* out, const sector_range& disk);

// "the primary GPT entry array".
const char* structure_name(gpt_part structure);

// Whether the partitions a finding names are a GPT's.
constexpr bool names_gpt_partitions(const finding& found)
{
    return found.at.kind == subject::gpt_partition || found.at.kind == subject::gpt_structure;
}
