// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Whether a reader makes the partitions as written: the table's own used
// entries (the slots but those of type 00, the chain as its links lead,
// the GPT's entries), each as that reader numbers and sizes it, and
// nothing written, no hang, no crash.
#pragma once

#include "readers/readers.h"

struct checked_table;

bool makes_as_written(const checked_table& table, board which);

// Whether a partition a reader makes is one of the table's own, as that
// reader numbers and sizes it.
bool written_as(const checked_table& table, board which, const made_partition& made);

// The readers that do not, as a set of rules' readers.
unsigned differing_readers(const checked_table& table);
