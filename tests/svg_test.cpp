// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The picture's pieces: names as XML text and the columns they take, sizes
// in binary units, the bar's scale either side of its break, the lanes
// that keep labels apart, and a message held for wrapping.
#include <cstdint>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "report/svg_layout.h"
#include "report/svg_text.h"

namespace {

struct xml_case {
    const char* name;
    std::string_view raw;
    std::string_view xml;
    std::size_t columns;
};

constexpr xml_case xml_cases[] = {
    {"plain", "boot.img", "boot.img", 8},
    {"markup", "a&b<c>", "a&amp;b&lt;c&gt;", 6},
    {"quotes_pass", R"(it's "x")", R"(it's "x")", 8},
    {"control_bytes", "\x01\x1b", "\\001\\033", 8},
    {"tab_and_backslash", "\t\\", R"(\t\\)", 4},
    {"utf8_passes", "\xc3\xa9", "\xc3\xa9", 1},
    {"wide_takes_two", "\xe6\x97\xa5", "\xe6\x97\xa5", 2},
    {"before_wide_takes_one", "\xe1\x83\xbf", "\xe1\x83\xbf", 1},
    {"emoji_takes_two", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80", 2},
    {"stray_byte", "a\xff", "a\xef\xbf\xbd", 2},
    {"raw_c1_is_stray", "\x9b", "\xef\xbf\xbd", 1},
    {"c1_in_utf8", "\xc2\x9b", "\\302\\233", 8},
    {"not_a_character", "\xef\xbf\xbe!", "\xef\xbf\xbd!", 2},
    {"surrogate_bytes", "\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd", 3},
    {"cut_sequence", "\xe6\x97", "\xef\xbf\xbd\xef\xbf\xbd", 2},
};

void PrintTo(const xml_case& row, std::ostream* out) { *out << row.name; }

class as_xml : public testing::TestWithParam<xml_case> {};

TEST_P(as_xml, escaped_and_counted)
{
    const xml_case& row = GetParam();
    std::string text;
    escape_for_xml(row.raw, [&text](std::string_view piece) { text += piece; });
    EXPECT_EQ(text, row.xml);
    EXPECT_EQ(escaped_columns(row.raw), row.columns);
}

INSTANTIATE_TEST_SUITE_P(svg, as_xml, testing::ValuesIn(xml_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

struct size_case {
    std::uint64_t bytes;
    std::string_view text;
};

constexpr size_case size_cases[] = {
    {0, "0 B"},
    {1023, "1023 B"},
    {1024, "1 KiB"},
    {1536, "1.5 KiB"},
    {std::uint64_t{1023} * 1024, "1023 KiB"},
    {std::uint64_t{16} * 1024 * 1024, "16 MiB"},
    {std::uint64_t{10} * 1024 * 1024 + std::uint64_t{512} * 1024, "10 MiB"},
    {std::uint64_t{2047} * 1024 * 1024, "1.9 GiB"},
    {UINT64_MAX, "15 EiB"},
};

TEST(svg, sizes_in_binary_units)
{
    for (const size_case& row : size_cases) {
        std::array<char, longest_size> text{};
        const char* end = write_size(text.data(), row.bytes);
        EXPECT_EQ(std::string_view(text.data(), static_cast<std::size_t>(end - text.data())),
                  row.text)
            << row.bytes;
    }
}

struct scale_case {
    std::uint64_t sectors;
    std::uint32_t sector_size;
    std::uint64_t sector;
    int x;
};

constexpr scale_case scale_cases[] = {
    // 128 MiB: the first MiB on 264 px, its place the square root of the
    // sector's share of it; then linear over the other 616.
    {262144, 512, 0, 96},
    {262144, 512, 1, 101},
    {262144, 512, 2, 104},
    {262144, 512, 34, 130},
    {262144, 512, 2047, 359},
    {262144, 512, 2048, 360},
    {262144, 512, 2049, 360},
    {262144, 512, 132096, 668},
    {262144, 512, 262144, 976},
    {262144, 512, 262145, 976},
    // The same disk in 4096-byte sectors: its first MiB is 256 of them.
    {32768, 4096, 256, 360},
    {32768, 4096, 64, 228},
    // A disk of 1 MiB or less has no break: linear across.
    {2048, 512, 1024, 536},
    {2048, 512, 2048, 976},
    {2049, 512, 2048, 360},
    {1, 512, 1, 976},
    // A disk of 2^64 - 1 sectors does not overflow the share.
    {UINT64_MAX, 512, UINT64_MAX / 2, 667},
};

TEST(svg, the_scale_either_side_of_its_break)
{
    for (const scale_case& row : scale_cases) {
        EXPECT_EQ(x_of(scale_for(row.sectors, row.sector_size), row.sector), row.x)
            << row.sectors << " sectors of " << row.sector_size << ", sector " << row.sector;
    }
}

TEST(svg, a_box_is_two_pixels_at_least_inside_the_bar)
{
    const bar_scale scale = scale_for(262144, 512);
    EXPECT_EQ(span_of(scale, {0, 0}).width, 5);
    EXPECT_EQ(span_of(scale, {100000, 100000}).width, 2);
    EXPECT_EQ(span_of(scale, {262143, 262143}).left, 974);
    EXPECT_EQ(span_of(scale, {300000, 400000}).left, 974);
    EXPECT_EQ(span_of(scale, {1, 0}).width, 2); // empty: a tick at its place
}

TEST(svg, a_lane_keeps_labels_apart)
{
    label_lane lane;
    EXPECT_TRUE(take(lane, 10, 20));
    EXPECT_FALSE(take(lane, 19, 30));
    EXPECT_TRUE(take(lane, 20, 30));
    EXPECT_TRUE(take(lane, 60, 70)); // across a word's edge
    EXPECT_FALSE(take(lane, 69, 71));
    EXPECT_FALSE(take(lane, 0, 200));
    EXPECT_TRUE(take(lane, 70, 200));
    EXPECT_TRUE(take(lane, picture_width - 1, picture_width + 10));
    EXPECT_FALSE(take(lane, picture_width, picture_width + 10)); // nothing left to take
    EXPECT_FALSE(take(lane, 300, 300));
}

TEST(svg, lines_end_at_a_space)
{
    EXPECT_EQ(line_end("one two three", 8), 7U);
    EXPECT_EQ(line_end("one two three", 7), 7U);
    EXPECT_EQ(line_end("one two three", 6), 3U);
    EXPECT_EQ(line_end("onetwothree", 5), 5U);
    EXPECT_EQ(line_end("short", 80), 5U);
}

TEST(svg, a_message_as_the_report_writes_it)
{
    message_sink sink;
    ASSERT_TRUE(open_sink(sink));
    captured_message text{};
    for (int twice = 0; twice < 2; ++twice) { // the second starts empty
        ASSERT_TRUE(capture_message(
            sink, text,
            {.what = rule::partial_sector, .at = at_disk(), .value = 1048676, .wanted = 512}));
        EXPECT_EQ(std::string_view(text.chars.data(), text.size),
                  "the image is 1048676 bytes, not a whole number of 512-byte sectors: its last "
                  "100 bytes are not part of the disk, and Raspberry Pi Imager refuses such a "
                  "file.");
    }
    close_sink(sink);
    EXPECT_FALSE(capture_message(sink, text, {.what = rule::partial_sector, .at = at_disk()}));
    EXPECT_EQ(text.size, 0U);
}

} // namespace
