// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "run.h"

int main(int argc, char* argv[]) { return run(argc, argv); }
