// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// How the checks read the disk: the image file, or a disk held in memory
// by the tests and the fuzzer.
#pragma once

#include <cstdint>
#include <span>

// Reads bytes of the disk from a byte offset into out, whole; past the end
// of an image file (checked for a larger card) it reads zeros. Returns
// nullptr, or why it could not. The checker reads only inside the disk.
struct sector_reader {
    const char* (*read)(const void* context, std::uint64_t offset, std::span<std::uint8_t> out);
    const void* context;
};

// Where the check stopped because a sector could not be read.
struct read_failure {
    std::uint64_t sector;
    const char* reason; // nullptr when every sector read
    const char* what;   // "the EBR", "the Minix table"
};
