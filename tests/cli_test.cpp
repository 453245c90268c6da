// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// End-to-end: the built binary with real getopt_long, real streams and a
// real exit status.
#include <algorithm>
#include <csignal>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"

namespace {

using args = std::vector<std::string>;

// The help text, written out here rather than taken from the tool, so that
// a changed character anywhere in it shows.
const std::string expected_help =
    "Usage: mkentry [Options]\n"
    "\n"
    "Generate a 16 byte partition table entry defined by command line\n"
    "arguments and dump it to stdout. No CHS magic is done, only lba\n"
    "entries are filled out.\n"
    "\n"
    "Options:\n"
    " -b, --begin=<block>    start block of this partition\n"
    " -s, --size=<blocks>    size of this partition\n"
    " -t  --type=<type       partition type\n"
    " -c, --bootable         add bootable flag to this partition\n"
    " -m, --magic            append a 0x55aa magic\n"
    " -h, --help             this help\n";

const std::string
    default_entry_bytes("\x00\xff\xff\xff\x83\xff\xff\xff\x00\x00\x00\x00\x00\x00\x00\x00", 16);
const std::string magic("\x55\xaa", 2);

std::string with_begin(const char (&le32)[5])
{
    std::string bytes = default_entry_bytes;
    bytes.replace(8, 4, le32, 4);
    return bytes;
}

std::string with_type(char type)
{
    std::string bytes = default_entry_bytes;
    bytes[4] = type;
    return bytes;
}

enum class err_is { empty, help, diagnostic };

struct cli_case {
    const char* name;
    args arguments;
    std::string out;
    err_is err = err_is::empty;
    // What the diagnostic quotes: the option as given, or its name from the
    // option table, so that a misspelt or lengthened name shows in it.
    const char* diagnostic_quotes = nullptr;
};

const std::string fat32_example("\x80\xff\xff\xff\x0c\xff\xff\xff\x00\x01\x00\x00\x00\x02\x00\x00",
                                16);

const cli_case cli_cases[] = {
    {"no_arguments_help", {}, "", err_is::help},
    {"short_help", {"-h"}, "", err_is::help},
    {"long_help_after_options", {"-m", "-c", "--help"}, "", err_is::help},
    {"help_abbreviated", {"--he"}, "", err_is::help},
    {"help_stops_at_once", {"-h", "-x"}, "", err_is::help},
    {"help_as_argument_is_not_help", {"-b", "-h"}, default_entry_bytes},
    {"help_after_double_dash_is_operand", {"--", "-h"}, default_entry_bytes},
    {"lone_operand", {"x"}, default_entry_bytes},
    {"magic_alone", {"-m"}, default_entry_bytes + magic},
    {"long_magic", {"--magic"}, default_entry_bytes + magic},
    {"full_example", {"-c", "-t", "0x0c", "-b", "256", "-s", "512", "-m"}, fat32_example + magic},
    {"long_options", {"--bootable", "--type=12", "--begin", "256", "--size=0x200"}, fat32_example},
    {"grouped_and_attached", {"-cmt0xc", "-b256", "-s", "01000"}, fat32_example + magic},
    {"operands_mixed_in",
     {"a", "-c", "b", "-t", "12", "c", "-b", "256", "-s", "512", "d"},
     fat32_example},
    {"last_begin_wins", {"-b", "1", "-b", "2"}, with_begin("\x02\x00\x00\x00")},
    {"begin_hex_little_endian", {"-b", "0x102"}, with_begin("\x02\x01\x00\x00")},
    {"begin_saturates", {"-b", "4294967296"}, with_begin("\xff\xff\xff\xff")},
    // Near the kernel's 128 KiB limit for one argument.
    {"begin_very_long",
     {"-b", "0x" + std::string(60000, '0') + "102" + std::string(60000, 'z')},
     with_begin("\x02\x01\x00\x00")},
    {"begin_octal", {"-b", "010"}, with_begin("\x08\x00\x00\x00")},
    {"begin_bad_octal", {"-b", "08"}, with_begin("\x00\x00\x00\x00")},
    {"begin_trailing_garbage", {"-b", "12abc"}, with_begin("\x0c\x00\x00\x00")},
    {"begin_prefix_abbreviation", {"--beg=5"}, with_begin("\x05\x00\x00\x00")},
    {"begin_takes_next_word", {"-b", "-c"}, default_entry_bytes},
    {"size_minus_one",
     {"-s", "-1"},
     std::string("\x00\xff\xff\xff\x83\xff\xff\xff\x00\x00\x00\x00\xff\xff\xff\xff", 16)},
    {"type_low_byte", {"-t", "0x183"}, with_type('\x83')},
    {"type_256_is_zero", {"-t", "256"}, with_type('\x00')},
    {"type_saturated_first", {"-t", "4294967296"}, with_type('\xff')},
    {"unknown_option", {"-x"}, default_entry_bytes, err_is::diagnostic, "-- 'x'"},
    {"unknown_long_option",
     {"--bogus", "-m"},
     default_entry_bytes + magic,
     err_is::diagnostic,
     "'--bogus'"},
    {"missing_argument",
     {"-c", "-b"},
     std::string("\x80", 1) + default_entry_bytes.substr(1),
     err_is::diagnostic,
     "-- 'b'"},
    {"ambiguous_prefix",
     {"--b=5"},
     default_entry_bytes,
     err_is::diagnostic,
     "'--begin' '--bootable'"},
    {"argument_to_flag", {"--magic=1"}, default_entry_bytes, err_is::diagnostic, "'--magic'"},
    {"argument_to_help", {"--help=1"}, default_entry_bytes, err_is::diagnostic, "'--help'"},
    {"argument_to_bootable",
     {"--bootable=1"},
     default_entry_bytes,
     err_is::diagnostic,
     "'--bootable'"},
    {"begin_needs_argument", {"--begin"}, default_entry_bytes, err_is::diagnostic, "'--begin'"},
    {"size_needs_argument", {"--size"}, default_entry_bytes, err_is::diagnostic, "'--size'"},
    {"type_needs_argument", {"--type"}, default_entry_bytes, err_is::diagnostic, "'--type'"},
    // Each long name with one letter more is no option at all.
    {"longer_names_rejected",
     {"--helpx", "--beginx=5", "--sizex=5", "--bootablex", "--typex=5", "--magicx"},
     default_entry_bytes,
     err_is::diagnostic,
     "'--magicx'"},
    {"long_arguments_after_equals",
     {"--begin=0x102", "--size=-1", "--type=0x0c"},
     std::string("\x00\xff\xff\xff\x0c\xff\xff\xff\x02\x01\x00\x00\xff\xff\xff\xff", 16)},
    {"long_arguments_as_next_word",
     {"--begin", "0x102", "--size", "-1", "--type", "0x0c"},
     std::string("\x00\xff\xff\xff\x0c\xff\xff\xff\x02\x01\x00\x00\xff\xff\xff\xff", 16)},
    {"double_dash_ends_options", {"--", "-c"}, default_entry_bytes},
};

void PrintTo(const cli_case& c, std::ostream* os) { *os << c.name; }

class cli : public testing::TestWithParam<cli_case> {};

TEST_P(cli, writes_expected_bytes)
{
    const cli_case& c = GetParam();
    const child_result r = run_mkentry(c.arguments);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(testing::PrintToString(r.out), testing::PrintToString(c.out));
    switch (c.err) {
    case err_is::empty:
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.writes, 1) << "the entry leaves in one write(2)";
        break;
    case err_is::help:
        EXPECT_EQ(r.err, expected_help);
        EXPECT_EQ(r.writes, 1) << "the help text leaves in one write(2)";
        break;
    case err_is::diagnostic:
        EXPECT_NE(r.err, "");
        EXPECT_EQ(r.err.find("Usage:"), std::string::npos);
        ASSERT_NE(c.diagnostic_quotes, nullptr) << "a diagnostic row says what it quotes";
        EXPECT_NE(r.err.find(c.diagnostic_quotes), std::string::npos) << r.err;
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(arguments, cli, testing::ValuesIn(cli_cases),
                         [](const auto& p) { return std::string(p.param.name); });

// Every way the output can fail ends in status 10, with -m or without, and
// without a word of the tool's own.
struct failure_case {
    const char* name;
    out_to out;
};

const failure_case failure_cases[] = {
    {"dev_full", out_to::dev_full},
    {"closed", out_to::closed},
    {"read_only", out_to::read_only},
};

void PrintTo(const failure_case& c, std::ostream* os) { *os << c.name; }

class write_failure : public testing::TestWithParam<failure_case> {};

TEST_P(write_failure, ends_with_status_10)
{
    for (const args& a : {args{"-c"}, args{"-c", "-m"}}) {
        const child_result r = run_mkentry(a, GetParam().out);
        EXPECT_EQ(r.exit_status, 10) << a.size() << " arguments";
        EXPECT_EQ(r.err, "");
    }
}

TEST_P(write_failure, does_not_touch_help)
{
    for (const args& a : {args{}, args{"-m", "-h"}}) {
        const child_result r = run_mkentry(a, GetParam().out);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.err, expected_help);
    }
}

INSTANTIATE_TEST_SUITE_P(outputs, write_failure, testing::ValuesIn(failure_cases),
                         [](const auto& p) { return std::string(p.param.name); });

// The entry goes out in one write, so a reader that takes one byte and
// leaves, like `head -c 1`, has already received all of it.
TEST(broken_pipe, early_reader_exit_is_success)
{
    const child_result r = run_mkentry({"-m"}, out_to::one_byte_read);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, default_entry_bytes.substr(0, 1));
}

// A line-buffered stream would split an entry at its 0x0a byte (type 10)
// into two writes; a reader that leaves after the first would lose the rest.
TEST(one_write, entry_with_a_newline_byte_on_a_pipe_and_a_terminal)
{
    const std::string type_10(
        "\x00\xff\xff\xff\x0a\xff\xff\xff\x00\x00\x00\x00\x00\x00\x00\x00\x55\xaa", 18);
    for (const out_to out : {out_to::pipe, out_to::pty}) {
        if (out == out_to::pty && !terminal_available()) {
            GTEST_SKIP() << "no terminal to be had: posix_openpt needs /dev/pts";
        }
        const child_result r = run_mkentry({"-t", "10", "-m"}, out);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(testing::PrintToString(r.out), testing::PrintToString(type_10));
        EXPECT_EQ(r.writes, 1) << (out == out_to::pty ? "on a terminal" : "on a pipe");
    }
}

// With no reader at all the kernel's SIGPIPE ends the tool, as it ends any
// filter; where the caller ignores SIGPIPE the failed write gives status 10.
TEST(broken_pipe, no_reader_is_never_success)
{
    const child_result killed = run_mkentry({"-m"}, out_to::reader_gone);
    EXPECT_EQ(killed.signal, SIGPIPE);

    const child_result ignored = run_mkentry({"-m"}, out_to::reader_gone, true);
    EXPECT_EQ(ignored.exit_status, 10);
    EXPECT_EQ(ignored.err, "");
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    mkentry_command.assign(argv + 1, argv + argc);
    if (mkentry_command.empty() && !GTEST_FLAG_GET(list_tests)) {
        return 2; // told nothing of the binary to test
    }
    return RUN_ALL_TESTS();
}
