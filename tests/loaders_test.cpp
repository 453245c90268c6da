// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The boot loaders mkentry-check finds, as images built here from the
// headers' layouts (their sums and CRCs taken here, apart from the
// checker's), and the rules that guard them: each family found and its
// extent, one changed field and the problem it makes, bad lengths and
// trees, and partitions and tables one sector either side of a loader.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "check_rows.h"
#include "loaders/loaders.h"
#include "report/report.h"
#include "rules/message.h"

namespace {

using bytes = std::vector<std::uint8_t>;

void put_be(bytes& out, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        out.at(at + i) = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

void put_text(bytes& out, std::size_t at, std::string_view text)
{
    std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

std::uint32_t get_le32(const bytes& in, std::size_t at)
{
    return static_cast<std::uint32_t>(in[at] | in[at + 1] << 8 | in[at + 2] << 16) |
           static_cast<std::uint32_t>(in[at + 3]) << 24;
}

std::uint32_t crc32_of(const bytes& in)
{
    std::uint32_t crc = 0xffffffff;
    for (const std::uint8_t byte : in) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
        }
    }
    return ~crc;
}

// The sum sunxi's mkimage stores: of every word, with the field holding
// the stamp while it is taken.
void seal(bytes& image, std::size_t sum_at)
{
    put_le(image, sum_at, 0x5f0a6c39, 4);
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at + 4 <= image.size(); at += 4) {
        sum += get_le32(image, at);
    }
    put_le(image, sum_at, sum, 4);
}

void fill(bytes& image, std::size_t from)
{
    for (std::size_t i = from; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
}

// An eGON image of length bytes; only its header where it is not summed.
bytes egon(std::uint32_t length, std::uint32_t branch = 0xea000016, bool whole = true)
{
    bytes image(whole ? length : 48);
    fill(image, 48);
    put_le(image, 0, branch, 4);
    put_text(image, 4, "eGON.BT0");
    put_le(image, 16, length, 4);
    put_text(image, 20, "SPL\x02");
    if (whole) {
        seal(image, 12);
    }
    return image;
}

bytes toc0(std::uint32_t length)
{
    bytes image(length);
    fill(image, 48);
    put_text(image, 0, "TOC0.GLH");
    put_le(image, 8, 0x89119800, 4);
    put_le(image, 24, 3, 4);
    put_le(image, 28, length, 4);
    put_text(image, 44, "MIE;");
    seal(image, 12);
    return image;
}

bytes uimage(std::uint32_t data_size, char name = 'U')
{
    bytes header(64);
    put_be(header, 0, 0x27051956);
    put_be(header, 8, 0x5eed0000);
    put_be(header, 12, data_size);
    put_be(header, 16, 0x4a000000);
    put_be(header, 20, 0x4a000000);
    header[28] = 17; // U-Boot, ARM, firmware
    header[29] = 2;
    header[30] = 5;
    put_text(header, 32, "U-Boot 2023.01");
    put_be(header, 4, crc32_of(header));
    header[32] = static_cast<std::uint8_t>(name);
    return header;
}

// A FIT of total bytes: /images/uboot with its data inline or external.
struct fit_shape {
    std::uint32_t total;
    std::uint32_t data_size = 0;
    bool external = false;
    int nested = 0;         // nodes inside uboot
    std::uint32_t nops = 0; // NOP tokens before the end
    bool position = false;  // data-position 4096 rather than data-offset 0
    std::uint32_t version = 17;
};

void token(bytes& out, std::uint32_t value)
{
    out.resize(out.size() + 4);
    put_be(out, out.size() - 4, value);
}

void node(bytes& out, std::string_view name)
{
    token(out, 1);
    const std::size_t at = out.size();
    out.resize(at + (name.size() + 4) / 4 * 4);
    put_text(out, at, name);
}

void property(bytes& out, std::uint32_t name, std::uint32_t value)
{
    token(out, 3);
    token(out, 4);
    token(out, name);
    token(out, value);
}

bytes fit(const fit_shape& shape)
{
    constexpr std::string_view strings{"description\0data-size\0data-offset\0data-position\0", 48};
    bytes tree;
    node(tree, "");
    property(tree, 0, 0);
    node(tree, "images");
    node(tree, "uboot");
    if (shape.external) {
        property(tree, 12, shape.data_size);
        property(tree, shape.position ? 34 : 22, shape.position ? 4096 : 0);
    }
    for (int i = 0; i < shape.nested; ++i) {
        node(tree, "n");
    }
    for (int i = 0; i < shape.nested + 3; ++i) {
        token(tree, 2);
    }
    for (std::uint32_t i = 0; i < shape.nops; ++i) {
        token(tree, 4);
    }
    token(tree, 9);
    bytes image(std::max<std::size_t>(shape.total, 56 + tree.size() + strings.size()));
    put_be(image, 0, 0xd00dfeed);
    put_be(image, 4, shape.total);
    put_be(image, 8, 56);
    put_be(image, 12, static_cast<std::uint32_t>(56 + tree.size()));
    put_be(image, 16, 40);
    put_be(image, 20, shape.version);
    put_be(image, 24, 16);
    put_be(image, 32, static_cast<std::uint32_t>(strings.size()));
    put_be(image, 36, static_cast<std::uint32_t>(tree.size()));
    std::copy(tree.begin(), tree.end(), image.begin() + 56);
    put_text(image, 56 + tree.size(), strings);
    image.resize(shape.total);
    return image;
}

// Rockchip's ID block: the header sector RC4-encoded with the fixed key
// (a key stream taken here), its init part's tag at init_offset.
bytes rc4_stream()
{
    const std::array<std::uint8_t, 16> key = {0x7c, 0x4e, 0x03, 0x04, 0x55, 0x05, 0x09, 0x07,
                                              0x2d, 0x2c, 0x7b, 0x38, 0x17, 0x0d, 0x17, 0x11};
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) {
        s[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    for (std::size_t i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 16]) % 256;
        std::swap(s[i], s[j]);
    }
    bytes stream(512);
    for (std::size_t n = 0, i = 0, j = 0; n < 512; ++n) {
        i = (i + 1) % 256;
        j = (j + s[i]) % 256;
        std::swap(s[i], s[j]);
        stream[n] = s[(s[i] + s[j]) % 256];
    }
    return stream;
}

bytes rockchip_v1(std::uint32_t init_size, std::uint32_t init_boot_size,
                  std::string_view tag = "RK33", bool encoded_payload = false)
{
    bytes image(5 * 512);
    put_le(image, 0, 0x0ff0aa55, 4);
    put_le(image, 8, encoded_payload ? 0 : 1, 4);
    put_le(image, 12, 4, 2);
    put_le(image, 506, init_size, 2);
    put_le(image, 508, init_boot_size, 2);
    const bytes stream = rc4_stream();
    for (std::size_t i = 0; i < 512; ++i) {
        image[i] ^= stream[i];
    }
    put_text(image, 4 * 512, tag);
    for (std::size_t i = 0; encoded_payload && i < 4; ++i) {
        image[4 * 512 + i] ^= stream[i];
    }
    return image;
}

bytes rockchip_v2(std::uint32_t images, std::uint32_t size)
{
    bytes image(2048);
    put_le(image, 0, 0x534e4b52, 4);
    put_le(image, 8, images << 16 | 384, 4);
    put_le(image, 12, 1, 4);
    for (std::uint32_t i = 0; i < images; ++i) {
        put_le(image, 120 + 88 * i, size << 16 | (4 + i * size), 4);
        put_le(image, 124 + 88 * i, 0xffffffff, 4);
    }
    return image;
}

// An IVT and its boot data, within bytes into its image, of size bytes.
struct ivt_shape {
    std::uint32_t size;
    std::uint32_t within = 0x400;
    std::uint32_t entry_in = 0x1000;
    bool dcd = false;
    std::uint8_t dcd_tag = 0xd2;
};

bytes ivt(const ivt_shape& shape)
{
    const std::uint32_t start = 0x877ff000;
    const std::uint32_t self = start + shape.within;
    bytes table(0x30);
    put_le(table, 0, 0x402000d1, 4);
    put_le(table, 4, start + shape.entry_in, 4);
    put_le(table, 12, shape.dcd ? self + 0x2c : 0, 4);
    put_le(table, 16, self + 0x20, 4);
    put_le(table, 20, self, 4);
    put_le(table, 0x20, start, 4);
    put_le(table, 0x24, shape.size, 4);
    table[0x2c] = shape.dcd_tag;
    return table;
}

bytes mlo(std::uint32_t size, std::uint32_t load = 0x402f0400)
{
    bytes image(520, 0);
    put_le(image, 0, 0x40, 4);
    put_le(image, 4, 0x0c, 4);
    put_text(image, 20, "CHSETTINGS");
    std::fill_n(image.begin() + 32, 32, 0xff);
    put_le(image, 0x40, 0xc0c0c0c1, 4);
    put_le(image, 512, size, 4);
    put_le(image, 516, load, 4);
    return image;
}

bytes aml(std::uint32_t total, std::uint8_t minor = 1)
{
    bytes header(64);
    put_text(header, 0, "@AML");
    put_le(header, 4, total, 4);
    header[8] = 0x40;
    header[10] = 1;
    header[11] = minor;
    return header;
}

bytes flipped(bytes image, std::size_t at)
{
    image.at(at) ^= 0x10;
    return image;
}

using family = loader_family;
using kind = loader_kind;
using problem = loader_problem;

struct loader_seen {
    family from;
    kind what;
    bool first_stage;
    std::uint64_t first;
    std::uint64_t last;
    std::uint64_t offset;
    problem fails = problem::none;

    friend bool operator==(const loader_seen&, const loader_seen&) = default;
};

void PrintTo(const loader_seen& seen, std::ostream* out)
{
    *out << "{" << family_key(seen.from) << " " << kind_key(seen.what) << " "
         << (seen.first_stage ? "first" : "proper") << " " << seen.first << "-" << seen.last
         << " at " << seen.offset << ", " << problem_text(seen.fails) << "}";
}

struct found_case {
    const char* name;
    std::vector<patch> patches;
    std::vector<loader_seen> loaders;
    std::uint64_t sectors = 131072;
};

void PrintTo(const found_case& row, std::ostream* out) { *out << row.name; }

constexpr std::uint64_t kib = 1024;

const found_case found_cases[] = {
    {"allwinner_egon_and_uimage",
     {{8 * kib, egon(24576)}, {80 * 512, uimage(409536)}},
     {{family::allwinner, kind::egon, true, 16, 63, 8192},
      {family::allwinner, kind::uimage, false, 80, 879, 40960}}},
    {"allwinner_at_128_kib_and_fit",
     {{128 * kib, egon(32768)}, {320 * 512, fit({4096})}},
     {{family::allwinner, kind::egon, true, 256, 319, 131072},
      {family::allwinner, kind::fit, false, 320, 327, 163840}}},
    {"allwinner_long_spl_moves_u_boot",
     {{8 * kib, egon(40960)}, {96 * 512, uimage(1984)}},
     {{family::allwinner, kind::egon, true, 16, 95, 8192},
      {family::allwinner, kind::uimage, false, 96, 99, 49152}}},
    {"allwinner_toc0",
     {{8 * kib, toc0(16384)}},
     {{family::allwinner, kind::toc0, true, 16, 47, 8192}}},
    {"rockchip_v1_and_fit_with_external_data",
     {{32 * kib, rockchip_v1(120, 280)}, {16384 * 512, fit({2048, 1000000, true})}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 347, 32768},
      {family::rockchip, kind::fit, false, 16384, 18341, 8388608}}},
    {"rockchip_fit_data_position",
     {{32 * kib, rockchip_v1(120, 280)}, {16384 * 512, fit({2048, 10000, true, 0, 0, true})}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 347, 32768},
      {family::rockchip, kind::fit, false, 16384, 16411, 8388608}}},
    {"rockchip_v1_placeholder_for_no_boot_part",
     {{32 * kib, rockchip_v1(100, 1124)}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 167, 32768}}},
    {"rockchip_v1_encoded_payload",
     {{32 * kib, rockchip_v1(100, 200, "RK32", true)}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 267, 32768}}},
    {"rockchip_u_boot_at_512",
     {{32 * kib, rockchip_v1(120, 280)}, {512 * 512, uimage(1000)}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 347, 32768},
      {family::rockchip, kind::uimage, false, 512, 514, 262144}}},
    {"rockchip_v2_of_two_images",
     {{32 * kib, rockchip_v2(2, 100)}},
     {{family::rockchip, kind::rockchip_v2, true, 64, 267, 32768}}},
    {"rockchip_fit_of_64_mib",
     {{32 * kib, rockchip_v1(120, 280)}, {16384 * 512, fit({2048, 67106816, true})}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 347, 32768},
      {family::rockchip, kind::fit, false, 16384, 147455, 8388608}},
     262144},
    {"rockchip_fit_past_64_mib",
     {{32 * kib, rockchip_v1(120, 280)}, {16384 * 512, fit({2048, 67106817, true})}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 347, 32768},
      {family::rockchip, kind::fit, false, 16384, 147456, 8388608, problem::too_large}},
     262144},
    {"fit_of_version_16",
     {{8 * kib, egon(24576)}, {80 * 512, fit({4096, 0, false, 0, 0, false, 16})}},
     {{family::allwinner, kind::egon, true, 16, 63, 8192},
      {family::allwinner, kind::fit, false, 80, 87, 40960}}},
    {"fit_of_version_15",
     {{8 * kib, egon(24576)}, {80 * 512, fit({4096, 0, false, 0, 0, false, 15})}},
     {{family::allwinner, kind::egon, true, 16, 63, 8192},
      {family::allwinner, kind::fit, false, 80, 87, 40960, problem::fit_structure}}},
    {"egon_on_a_disk_of_17_sectors",
     {{8 * kib, egon(512)}},
     {{family::allwinner, kind::egon, true, 16, 16, 8192}},
     17},
    {"rockchip_tag_without_digits",
     {{32 * kib, rockchip_v1(120, 280, "RKx3")}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 347, 32768, problem::tag}}},
    {"rockchip_v2",
     {{32 * kib, rockchip_v2(1, 200)}},
     {{family::rockchip, kind::rockchip_v2, true, 64, 267, 32768}}},
    {"imx6_spl_and_uimage",
     {{kib, ivt({0xc000})}, {138 * 512, uimage(102336)}},
     {{family::imx6, kind::imx_ivt, true, 2, 95, 1024},
      {family::imx6, kind::uimage, false, 138, 337, 70656}}},
    {"imx6_whole_u_boot_with_dcd",
     {{kib, ivt({0x80000, 0x400, 0x1000, true})}, {138 * 512, uimage(1000)}},
     {{family::imx6, kind::imx_ivt, true, 2, 1023, 1024}}},
    {"imx8m_at_32_kib",
     {{32 * kib, ivt({0x20000, 0})}},
     {{family::imx8m, kind::imx_ivt, true, 64, 319, 32768}}},
    {"imx8m_ivt_1_kib_into_its_image",
     {{33 * kib, ivt({0x20000, 0x400})}},
     {{family::imx8m, kind::imx_ivt, true, 64, 319, 33792}}},
    {"ti_mlo_at_128_kib_and_uimage",
     {{256 * 512, mlo(0x10000)}, {768 * 512, uimage(523200)}},
     {{family::ti, kind::mlo, true, 256, 385, 131072},
      {family::ti, kind::uimage, false, 768, 1789, 393216}}},
    {"ti_mlo_at_0_and_its_copy_at_768",
     {{0, mlo(0x8000)}, {768 * 512, mlo(0x8000)}},
     {{family::ti, kind::mlo, true, 0, 65, 0}, {family::ti, kind::mlo, true, 768, 833, 393216}}},
    {"amlogic_bl2", {{528, aml(0xc000)}}, {{family::amlogic, kind::aml_bl2, true, 1, 97, 528}}},
    // A U-Boot proper written where a first stage would load it, without
    // that first stage: found at each such place, and nowhere else.
    {"u_boot_alone_at_80",
     {{80 * 512, uimage(1984)}},
     {{family::allwinner, kind::uimage, false, 80, 83, 40960}}},
    {"u_boot_alone_at_138",
     {{138 * 512, uimage(1984)}},
     {{family::imx6, kind::uimage, false, 138, 141, 70656}}},
    {"u_boot_alone_at_512",
     {{512 * 512, fit({4096})}},
     {{family::rockchip, kind::fit, false, 512, 519, 262144}}},
    {"u_boot_alone_at_768",
     {{768 * 512, uimage(1984)}},
     {{family::ti, kind::uimage, false, 768, 771, 393216}}},
    {"u_boot_alone_at_16384",
     {{16384 * 512, fit({4096})}},
     {{family::rockchip, kind::fit, false, 16384, 16391, 8388608}}},
    {"u_boot_alone_a_sector_past_80", {{81 * 512, uimage(1984)}}, {}},
    {"u_boot_alone_a_sector_before_16384", {{16383 * 512, fit({4096})}}, {}},
    // One changed field each, and the problem it makes.
    {"egon_body_byte",
     {{8 * kib, flipped(egon(24576), 5000)}},
     {{family::allwinner, kind::egon, true, 16, 63, 8192, problem::checksum}}},
    {"egon_length_not_whole_sectors",
     {{8 * kib, egon(1000, 0xea000016, false)}},
     {{family::allwinner, kind::egon, true, 16, 17, 8192, problem::length}}},
    {"egon_without_branch",
     {{8 * kib, egon(24576, 0)}},
     {{family::allwinner, kind::egon, true, 16, 63, 8192, problem::branch}}},
    {"egon_past_the_disk",
     {{8 * kib, egon(16384, 0xea000016, false)}},
     {{family::allwinner, kind::egon, true, 16, 47, 8192, problem::past_disk}},
     47},
    {"egon_ends_on_the_last_sector",
     {{8 * kib, egon(16384)}},
     {{family::allwinner, kind::egon, true, 16, 47, 8192}},
     48},
    {"egon_past_what_the_rom_loads",
     {{8 * kib, egon(262656, 0xea000016, false)}},
     {{family::allwinner, kind::egon, true, 16, 528, 8192, problem::too_large}}},
    {"toc0_body_byte",
     {{8 * kib, flipped(toc0(16384), 9000)}},
     {{family::allwinner, kind::toc0, true, 16, 47, 8192, problem::checksum}}},
    {"rockchip_tag",
     {{32 * kib, flipped(rockchip_v1(120, 280), 4 * 512 + 1)}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 347, 32768, problem::tag}}},
    {"rockchip_init_size_0",
     {{32 * kib, rockchip_v1(0, 280)}},
     {{family::rockchip, kind::rockchip_v1, true, 64, 347, 32768, problem::sizes}}},
    {"rockchip_v2_without_images",
     {{32 * kib, rockchip_v2(0, 200)}},
     {{family::rockchip, kind::rockchip_v2, true, 64, 64, 32768, problem::sizes}}},
    {"rockchip_magic", {{32 * kib, flipped(rockchip_v1(120, 280), 0)}}, {}},
    {"imx6_boot_data_start",
     {{kib, flipped(ivt({0xc000}), 0x21)}},
     {{family::imx6, kind::imx_ivt, true, 2, 2, 1024, problem::self_pointer}}},
    {"imx6_entry_past_the_image",
     {{kib, ivt({0xc000, 0x400, 0xc000})}},
     {{family::imx6, kind::imx_ivt, true, 2, 95, 1024, problem::entry}}},
    {"imx6_dcd_tag",
     {{kib, ivt({0xc000, 0x400, 0x1000, true, 0xd3})}},
     {{family::imx6, kind::imx_ivt, true, 2, 95, 1024, problem::dcd}}},
    {"imx6_ivt_at_33_kib",
     {{33 * kib, ivt({0x20000, 0x800})}},
     {{family::imx8m, kind::imx_ivt, true, 66, 66, 33792, problem::self_pointer}}},
    {"mlo_key",
     {{256 * 512, flipped(mlo(0x10000), 0x40)}},
     {{family::ti, kind::mlo, true, 256, 385, 131072, problem::toc}}},
    {"mlo_gp_size_0",
     {{256 * 512, mlo(0)}},
     {{family::ti, kind::mlo, true, 256, 257, 131072, problem::gp_header}}},
    {"mlo_name", {{256 * 512, flipped(mlo(0x10000), 20)}}, {}},
    {"uimage_name",
     {{8 * kib, egon(24576)}, {80 * 512, uimage(409536, 'X')}},
     {{family::allwinner, kind::egon, true, 16, 63, 8192},
      {family::allwinner, kind::uimage, false, 80, 879, 40960, problem::header_crc}}},
    {"uimage_past_the_disk",
     {{8 * kib, egon(24576)}, {80 * 512, uimage(409536)}},
     {{family::allwinner, kind::egon, true, 16, 63, 8192},
      {family::allwinner, kind::uimage, false, 80, 879, 40960, problem::past_disk}},
     879},
    {"aml_version_2",
     {{528, aml(0xc000, 2)}},
     {{family::amlogic, kind::aml_bl2, true, 1, 97, 528, problem::header}}},
    {"aml_past_what_the_rom_loads",
     {{528, aml(0x10001)}},
     {{family::amlogic, kind::aml_bl2, true, 1, 129, 528, problem::too_large}}},
};

class found : public testing::TestWithParam<found_case> {};

TEST_P(found, with_extent_and_problem)
{
    const found_case& row = GetParam();
    const table_case disk_row = {
        row.name, {}, {row.sectors}, 0,  {},         {0x55, 0xaa}, 0x5eed0001,
        {},       0,  false,         {}, row.patches};
    const checked_table checked = check_row(disk_row);
    std::vector<loader_seen> seen;
    for (std::size_t i = 0; i < checked.loaders.count; ++i) {
        const boot_loader& each = checked.loaders.found[i];
        seen.push_back({each.family, each.kind, each.first_stage, each.sectors.first,
                        each.sectors.last, each.offset, each.problem});
    }
    EXPECT_EQ(seen, row.loaders);
}

INSTANTIATE_TEST_SUITE_P(rows, found, testing::ValuesIn(found_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// Trees that do not end as trees: the walk stops, bounded, with a finding.
struct tree_case {
    const char* name;
    bytes image;
    std::size_t written; // of its bytes, the rest zeros
};

void PrintTo(const tree_case& row, std::ostream* out) { *out << row.name; }

const tree_case tree_cases[] = {
    {"fit_cut_short", fit({4096}), 100},
    {"fit_nested_past_16_levels", fit({4096, 0, false, 14}), 4096},
    {"fit_nested_16_levels", fit({4096, 0, false, 13}), 4096},
    {"fit_of_nops_past_8192_tokens", fit({40960, 0, false, 0, 8190}), 40960},
};

class trees : public testing::TestWithParam<tree_case> {};

TEST_P(trees, stop_with_a_finding)
{
    const tree_case& row = GetParam();
    const bytes written(row.image.begin(),
                        row.image.begin() + static_cast<std::ptrdiff_t>(row.written));
    const table_case disk_row = {
        row.name,   {}, {131072}, 0,     {}, {0x55, 0xaa},
        0x5eed0001, {}, 0,        false, {}, {{128 * kib, egon(32768)}, {320 * 512, written}}};
    const checked_table checked = check_row(disk_row);
    ASSERT_EQ(checked.loaders.count, 2U);
    const bool fails = std::string_view(row.name) != "fit_nested_16_levels";
    EXPECT_EQ(checked.loaders.found[1].problem, fails ? problem::fit_structure : problem::none);
}

INSTANTIATE_TEST_SUITE_P(rows, trees, testing::ValuesIn(tree_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// A loader and U-Boot proper that end at sector 2047, and the partitions
// and tables around them.
std::vector<patch> allwinner_to_2047()
{
    return {{8 * kib, egon(24576)}, {80 * 512, uimage(1007552)}};
}

table_case with_patches(table_case row, const std::vector<patch>& more)
{
    row.patches.insert(row.patches.end(), more.begin(), more.end());
    return row;
}

table_case mbr_row(const char* name, int status, std::vector<expected> findings,
                   std::vector<slot_bytes> slots, const std::vector<patch>& patches)
{
    table_case row = {name, std::move(slots), disk, status, std::move(findings)};
    row.patches = patches;
    return row;
}

constexpr auto under_partition = rule::loader_under_partition;
constexpr auto under_table = rule::loader_under_table;

const table_case rule_cases[] = {
    mbr_row("partition_right_after_u_boot", 0, {}, {{0x80, 0x0c, 2048, 32768}},
            allwinner_to_2047()),
    mbr_row("partition_a_sector_into_u_boot", 1,
            {{under_partition, 1, 0, 0, {2047, 2047}}, {rule::unaligned, 1}},
            {{0x80, 0x0c, 2047, 32768}}, allwinner_to_2047()),
    mbr_row("partition_right_after_the_spl", 0, {{rule::unaligned, 1}}, {{0, 0x83, 64, 1984}},
            {{8 * kib, egon(24576)}}),
    mbr_row("partition_a_sector_into_the_spl", 1,
            {{under_partition, 1, 0, 0, {63, 63}}, {rule::unaligned, 1}}, {{0, 0x83, 63, 1985}},
            {{8 * kib, egon(24576)}}),
    mbr_row("partition_made_for_the_id_block", 0, {{rule::unaligned, 1}}, {{0, 0xda, 64, 7104}},
            {{32 * kib, rockchip_v1(120, 280)}}),
    mbr_row("file_system_holding_u_boot_proper", 1, {{under_partition, 1, 0, 0, {16384, 18341}}},
            {{0, 0x0c, 8192, 122880}},
            {{32 * kib, rockchip_v1(120, 280)}, {16384 * 512, fit({2048, 1000000, true})}}),
    mbr_row("partition_made_for_spl_and_u_boot", 0, {{rule::unaligned, 1}}, {{0, 0xda, 16, 2032}},
            allwinner_to_2047()),
    mbr_row("ebr_over_u_boot", 1, {{under_table, 0, 1024, 0, {1024, 1024}}, {rule::unaligned, 1}},
            {{0, 0x0f, 1024, 130048}}, allwinner_to_2047()),
    with_patches(chain("logical_partition_over_u_boot", 1,
                       {{under_partition, 5, 1024, 0, {1025, 2047}},
                        {under_table, 0, 1024, 0, {1024, 1024}},
                        {rule::unaligned, 1},
                        {rule::unaligned, 5, 1024}},
                       {{1024, {{0, 0x83, 1, 4096}}}}, {{0, 0x0f, 1024, 130048}}),
                 allwinner_to_2047()),
    mbr_row("loader_rejected", 1, {{rule::loader_invalid, 0, 0, 0, {16, 63}}},
            {{0x80, 0x0c, 2048, 32768}}, {{8 * kib, flipped(egon(24576), 5000)}}),
    with_patches(
        gpt_row("gpt_of_56_entries_leaves_room", 0, {}, {.partitions = three, .entry_count = 56}),
        {{8 * kib, egon(24576)}}),
    with_patches(gpt_row("gpt_written_over_by_the_loader", 1,
                         {{rule::gpt_primary_invalid, 0, 0, 11, {1, 1}, gpt_field::array_crc},
                          {rule::loader_over_gpt_array, 0, 0, 0, {16, 33}}},
                         {.partitions = three}),
                 {{8 * kib, egon(24576)}}),
    with_patches(gpt_row("gpt_under_the_loader_without_backup", 1,
                         {{rule::gpt_primary_invalid, 0, 0, 8, {1, 1}, gpt_field::array_crc},
                          {under_table, 0, 0, 0, {16, 33}}},
                         {.partitions = three, .backup = false}),
                 {{8 * kib, egon(24576)}}),
    with_patches(gpt_row("gpt_over_the_ivt", 1,
                         {{rule::gpt_primary_invalid, 0, 0, 11, {1, 1}, gpt_field::array_crc},
                          {rule::loader_over_gpt_array, 0, 0, 0, {2, 33}}},
                         {.partitions = three}),
                 {{kib, ivt({0xc000})}}),
    with_patches(gpt_row("gpt_header_under_amlogic", 1,
                         {{rule::gpt_primary_invalid, 0, 0, 11, {1, 1}, gpt_field::header_crc},
                          {under_table, 0, 0, 0, {1, 1}}},
                         {.partitions = three}),
                 {{528, aml(0xc000)}}),
};

table_case for_soc(table_case row, soc_family soc)
{
    row.soc = soc;
    return row;
}

// A ROM that reads raw sectors wants its own family's first stage; the
// AM335x ROM, given a raw MLO, asks nothing of the FAT partitions.
const table_case rom_cases[] = {
    for_soc(mbr_row("allwinner_rom_finds_its_spl", 0, {}, {{0x80, 0x0c, 2048, 32768}},
                    allwinner_to_2047()),
            soc_family::allwinner),
    for_soc(mbr_row("rockchip_rom_finds_no_id_block", 1, {{rule::rom_no_loader}},
                    {{0x80, 0x0c, 2048, 32768}}, allwinner_to_2047()),
            soc_family::rockchip),
    for_soc(mbr_row("am335x_rom_takes_the_raw_mlo", 0, {}, {{0, 0x83, 2048, 32768}},
                    {{256 * 512, mlo(0x8000)}}),
            soc_family::am335x),
    for_soc(mbr_row("am335x_rom_without_mlo_wants_an_active_fat", 1, {{rule::rom_no_active_fat}},
                    {{0, 0x83, 2048, 32768}}, {}),
            soc_family::am335x),
};

class rom_loader : public testing::TestWithParam<table_case> {};

TEST_P(rom_loader, status_and_findings) { expect_row(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, rom_loader, testing::ValuesIn(rom_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// The ROM's line says which loader it starts.
TEST(report, rom_names_the_loader_it_loads)
{
    const checked_table checked = check_row(rom_cases[0]);
    EXPECT_EQ(checked.rom.loader, 1U);
    const std::string text =
        printed([&](std::FILE* out) { print_report(out, checked, size_source::image); });
    EXPECT_NE(text.find("rom: the Allwinner ROM loads the Allwinner eGON at sectors 16-63\n"),
              std::string::npos)
        << text;
    const std::string json = printed([&](std::FILE* out) { print_json(out, checked, "sd"); });
    EXPECT_NE(json.find(R"("rom": {"soc": "allwinner", "loads": [], "loader": {"family": )"
                        R"("allwinner", "kind": "egon", "first": 16, "last": 63}})"),
              std::string::npos)
        << json;
}

class guarded : public testing::TestWithParam<table_case> {};

TEST_P(guarded, status_and_findings) { expect_row(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, guarded, testing::ValuesIn(rule_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// A partition made for a loader is named as such, in text and JSON; one
// made for a first stage and its U-Boot proper holds both.
TEST(report, partition_made_for_a_loader)
{
    const checked_table checked = check_row(rule_cases[4]);
    ASSERT_EQ(checked.loaders.count, 1U);
    EXPECT_EQ(checked.loaders.found[0].held_by, 1U);
    const std::string json = printed([&](std::FILE* out) { print_json(out, checked, "sd"); });
    EXPECT_NE(json.find(R"("partuuid": "5eed0001-01",
            "holds-loader": "rockchip"
         })"),
              std::string::npos)
        << json;
    const std::string text =
        printed([&](std::FILE* out) { print_report(out, checked, size_source::image); });
    EXPECT_NE(text.find("loader: Rockchip ID block at byte 32768, sectors 64-347: its header "
                        "holds; slot 1 is made for it\n"),
              std::string::npos)
        << text;
    const checked_table chain = check_row(rule_cases[6]);
    ASSERT_EQ(chain.loaders.count, 2U);
    EXPECT_EQ(chain.loaders.found[0].held_by, 1U);
    EXPECT_EQ(chain.loaders.found[1].held_by, 1U);
}

// The report of an Allwinner board's image: the SPL at 8 KiB, its uImage
// at 40 KiB and the boot partition at 1 MiB.
TEST(golden, allwinner_text)
{
    const checked_table checked = check_row(rule_cases[0]);
    EXPECT_EQ(printed([&](std::FILE* out) { print_report(out, checked, size_source::image); }),
              R"report(disk: 131072 sectors of 512 bytes
disk identifier: 5eed0001
part boot type      first    sectors       last partuuid
   1   80   0c       2048      32768      34815 5eed0001-01
   2   00   00          0          0          -
   3   00   00          0          0          -
   4   00   00          0          0          -
loader: Allwinner eGON at byte 8192, sectors 16-63: its header holds; U-Boot proper follows, a uImage at sector 80
loader: Allwinner U-Boot proper, uImage at byte 40960, sectors 80-2047: its header holds
)report");
}

TEST(golden, allwinner_json)
{
    const checked_table checked = check_row(rule_cases[0]);
    EXPECT_EQ(printed([&](std::FILE* out) { print_json(out, checked, "/dev/mmcblk0"); }),
              R"json({
   "partitiontable": {
      "label": "dos",
      "id": "0x5eed0001",
      "device": "/dev/mmcblk0",
      "unit": "sectors",
      "sectorsize": 512,
      "partitions": [
         {
            "node": "/dev/mmcblk0p1",
            "start": 2048,
            "size": 32768,
            "type": "c",
            "partuuid": "5eed0001-01",
            "bootable": true
         }
      ]
   },
   "loaders": [
      {"family": "allwinner", "kind": "egon", "first-stage": true, "first": 16, "last": 63, "offset": 8192, "valid": true},
      {"family": "allwinner", "kind": "uimage", "first-stage": false, "first": 80, "last": 2047, "offset": 40960, "valid": true}
   ],
   "readers": {
      "linux": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}]},
      "u-boot": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}]},
      "edk2": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}]},
      "grub": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}]}
   },
   "findings": []
}
)json");
}

// The loaders' messages, as the report gives them.
TEST(golden, loader_messages)
{
    std::vector<std::string> messages;
    for (const std::size_t row : std::to_array<std::size_t>({1, 7, 9, 11, 12, 13, 14})) {
        for_each_finding(check_row(rule_cases[row]), [&](const finding& found) {
            if (found.what >= first_loader_rule) {
                messages.push_back(printed([&](std::FILE* out) { print_message(out, found); }));
            }
        });
    }
    const std::vector<std::string> want = {
        "slot 1 lies over sectors 2047-2047 of the Allwinner loader's U-Boot proper uImage at "
        "byte 40960 (sectors 80-2047), and is no partition made for it, which starts where the "
        "loader does and holds it whole: writing the partition destroys the loader, and "
        "writing the loader destroys what the partition holds.",
        "EBR at sector 1024 (in extended slot 1) lies over sectors 1024-1024 of the Allwinner "
        "loader's U-Boot proper uImage at byte 40960 (sectors 80-2047): writing the table destroys "
        "the loader, and writing the loader destroys the table.",
        "the Allwinner eGON loader at byte 8192 (sectors 16-63): its checksum does not match: the "
        "ROM rejects it.",
        "the primary GPT entry array fails its CRC where the Allwinner eGON loader at byte 8192 "
        "(sectors 16-63) lies in it (sectors 16-33), while the backup holds: the loader was "
        "written over the array; Linux makes no partition, U-Boot reads the backup without a word, "
        "and EDK2 writes the primary array back over the loader; make room with a 56-entry array "
        "that ends at sector 15 (sgdisk --resize-table 56, or table-length: 56 in an sfdisk "
        "script), an array moved past the loader (sgdisk -j, genimage gpt-location), or the loader "
        "at 128 KiB on the H3 and later SoCs.",
        "the primary GPT entry array lies over sectors 16-33 of the Allwinner eGON loader at byte "
        "8192 (sectors 16-63): writing the table destroys the loader, and writing the loader "
        "destroys the table; make room with a 56-entry array that ends at sector 15 (sgdisk "
        "--resize-table 56, or table-length: 56 in an sfdisk script), an array moved past the "
        "loader (sgdisk -j, genimage gpt-location), or the loader at 128 KiB on the H3 and later "
        "SoCs.",
        "the primary GPT entry array fails its CRC where the i.MX 6 IVT loader at byte 1024 "
        "(sectors 2-95) lies in it (sectors 2-33), while the backup holds: the loader was written "
        "over the array; Linux makes no partition, U-Boot reads the backup without a word, and "
        "EDK2 writes the primary array back over the loader; sector 2 is the IVT's own, so move "
        "the array past the loader (sgdisk -j, genimage gpt-location) and start every partition "
        "after it.",
        "the primary GPT header lies over sectors 1-1 of the Amlogic BL2 loader at byte 528 "
        "(sectors 1-97): writing the table destroys the loader, and writing the loader destroys "
        "the table; the loader starts at sector 1, where a GPT's header lies, so only an MBR "
        "leaves it room."};
    EXPECT_EQ(messages, want);
}

} // namespace
