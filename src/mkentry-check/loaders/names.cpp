// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The names of the loaders' families, kinds and problems: keys for the
// JSON report, names and sentences for people.
#include <cstddef>

#include "loaders/loaders.h"

namespace {

// Arrays of characters, not of pointers, which the loader would relocate
// at every start.
template <std::size_t count, std::size_t size> using names_of = char[count][size];

constexpr names_of<6, 10> family_keys = {"allwinner", "rockchip", "imx6", "imx8m", "ti", "amlogic"};
constexpr names_of<6, 10> family_names = {"Allwinner", "Rockchip", "i.MX 6",
                                          "i.MX 8M",   "TI",       "Amlogic"};
constexpr names_of<9, 12> kind_keys = {"egon", "toc0",    "rockchip-v1", "rockchip-v2", "imx-ivt",
                                       "mlo",  "aml-bl2", "uimage",      "fit"};
constexpr names_of<9, 14> kind_names = {"eGON", "TOC0",   "ID block", "RKNS ID block", "IVT", "MLO",
                                        "BL2",  "uImage", "FIT"};
constexpr names_of<17, 60> problem_texts = {
    "its header holds",
    "its checksum does not match",
    "its length is not a multiple of 512 bytes past its header",
    "its first word is no branch",
    "its self pointer does not point at itself",
    "its boot data pointer lies outside its header",
    "its entry point lies outside the image",
    "its DCD pointer leads to no DCD",
    "its CH TOC does not hold a CHSETTINGS item and key",
    "its GP header's size or load address is 0",
    "its header CRC does not match",
    "its device tree does not walk to its end",
    "it claims sectors past the end of the disk",
    "it claims more than its ROM loads",
    "its init part holds no SoC tag",
    "its sizes or images do not add up",
    "its header's size or version is not one the ROM reads",
};

template <std::size_t count, std::size_t size>
const char* named(const names_of<count, size>& names, std::size_t index)
{
    return index < count ? names[index] : "unknown";
}

} // namespace

const char* family_key(loader_family family)
{
    return named(family_keys, static_cast<std::size_t>(family));
}

const char* kind_key(loader_kind kind) { return named(kind_keys, static_cast<std::size_t>(kind)); }

const char* family_name(loader_family family)
{
    return named(family_names, static_cast<std::size_t>(family));
}

const char* kind_name(loader_kind kind)
{
    return named(kind_names, static_cast<std::size_t>(kind));
}

const char* problem_text(loader_problem problem)
{
    return named(problem_texts, static_cast<std::size_t>(problem));
}
