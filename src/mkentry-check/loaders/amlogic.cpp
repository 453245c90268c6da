// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Amlogic's BL2 at sector 1: the @AML header 16 bytes into it. Its SHA-256
// digest (or, signed, its key) is not checked here; the header's form is.
#include "loaders/probe.h"

namespace {

constexpr std::uint32_t aml_magic = 0x4c4d4140; // "@AML"
constexpr std::uint32_t header_size = 0x40;
constexpr std::uint32_t header_within = 16; // the header's place in the image
// The 4 KiB up to the payload and the G12's 60 KiB payload.
constexpr std::uint32_t most_bytes = 0x1000 + 0xf000;

} // namespace

bool probe_aml(check_context& check, const probe_at& at, boot_loader& found)
{
    if (le32(at.bytes, 0) != aml_magic) {
        return false;
    }
    const std::uint32_t total = le32(at.bytes, 4);
    const std::uint64_t image = at.offset - header_within;
    found = loader_of(check, loader_family::amlogic, loader_kind::aml_bl2, image,
                      std::uint64_t{header_within} + total, at.offset);
    if (at.bytes[8] != header_size || at.bytes[10] != 1 || at.bytes[11] > 1) {
        found.problem = loader_problem::header;
    } else if (total < header_size) {
        found.problem = loader_problem::length;
    } else if (total > most_bytes) {
        found.problem = loader_problem::too_large;
    }
    return true;
}
