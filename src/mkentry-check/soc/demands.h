// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What the boot ROM of table.rom.soc demands of the card, checked once the
// table is: the table it reads, and the FAT files it loads.
#pragma once

#include "table.h"

void check_rom(checked_table& table);
