// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The boot loaders a disk holds where SoC boot ROMs look for them, and the
// U-Boot proper each first stage loads: what they are, the sectors they
// take and whether their headers hold as the ROM (or the SPL) checks them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "rules/context.h"

enum class loader_family : std::uint8_t { allwinner, rockchip, imx6, imx8m, ti, amlogic };

enum class loader_kind : std::uint8_t {
    egon,        // Allwinner's eGON.BT0 header
    toc0,        // Allwinner's TOC0 for secure-boot SoCs
    rockchip_v1, // the RC4-encoded ID block
    rockchip_v2, // the RKNS header
    imx_ivt,     // an i.MX image vector table
    mlo,         // TI's CH TOC and GP header
    aml_bl2,     // Amlogic's @AML BL2 header
    uimage,      // a legacy U-Boot image
    fit,         // a flattened image tree
};

// The first check a loader's header fails.
enum class loader_problem : std::uint8_t {
    none,
    checksum,      // the eGON or TOC0 sum of its words
    length,        // not a multiple of 512, or below its header
    branch,        // no ARM branch in the eGON header's first word
    self_pointer,  // the IVT's self pointer is not where it lies
    boot_data,     // the IVT's boot data pointer is outside its header
    entry,         // the IVT's entry is outside the image
    dcd,           // the IVT's DCD has no DCD tag
    toc,           // the MLO's CH TOC items or CHSETTINGS key
    gp_header,     // the MLO's GP header size or load address is 0
    header_crc,    // the uImage header's CRC-32
    fit_structure, // the FIT's device tree does not walk to its end
    past_disk,     // it claims sectors past the disk's end
    too_large,     // it claims more than its family's ROM loads
    tag,           // no SoC tag at the Rockchip ID block's init offset
    sizes,         // the Rockchip header's sizes or images are not consistent
    header,        // the @AML header's size or version
};

struct boot_loader {
    loader_family family;
    loader_kind kind;
    bool first_stage;     // what the ROM loads; otherwise the U-Boot proper it loads
    sector_range sectors; // on the disk: where it would be written whole
    std::uint64_t offset; // the byte offset of its header
    loader_problem problem;
    std::uint16_t held_by; // the partition made for it: starts at it, or at its first
                           // stage, and holds it whole; 0: none
};

struct loader_set {
    std::array<boot_loader, 16> found; // the first count of them, in the order probed
    std::size_t count = 0;
};

// Probes every place the boot ROMs read, then the U-Boot proper each first
// stage found loads. Reads only headers (and an eGON's words, for its
// sum), only inside the disk; a claim past it is a problem, not a read.
void find_loaders(check_context& check, loader_set& loaders);

// Names for the report: "allwinner", "egon", and for people "Allwinner",
// "eGON".
const char* family_key(loader_family family);
const char* kind_key(loader_kind kind);
const char* family_name(loader_family family);
const char* kind_name(loader_kind kind);
// What fails, for people: "its checksum does not match".
const char* problem_text(loader_problem problem);
