// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// mkentry-check: reads the partition table of a disk image or a block
// device and reports what its readers would reject.
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

#include <getopt.h>
#include <unistd.h>

#include "arguments.h"
#include "geometry.h"
#include "image.h"
#include "report.h"
#include "rules.h"

namespace {

constexpr int exit_clean = 0;   // no error; there may be warnings
constexpr int exit_errors = 1;  // a board would not read the table as written
constexpr int exit_trouble = 2; // wrong usage, the disk unreadable, or the report unwritten

// Long options without a short twin return these.
enum : int { opt_json = 256, opt_strict, opt_sector_size, opt_disk_size, opt_reserve };

constexpr char short_options[] = "qh";
constexpr std::array<option, 8> long_options = {{
    {"quiet", no_argument, nullptr, 'q'},
    {"json", no_argument, nullptr, opt_json},
    {"strict", no_argument, nullptr, opt_strict},
    {"sector-size", required_argument, nullptr, opt_sector_size},
    {"disk-size", required_argument, nullptr, opt_disk_size},
    {"reserve", required_argument, nullptr, opt_reserve},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
}};

constexpr std::string_view usage_text =
    "Usage: mkentry-check [OPTION]... IMAGE\n"
    "\n"
    "Check the MBR partition table in the first sector of IMAGE, a disk image\n"
    "file or a block device, and the logical partitions in its extended one,\n"
    "against what firmware, boot loaders and Linux accept. Prints the\n"
    "partitions, then a line for each error or warning.\n"
    "\n"
    "Options:\n"
    " -q, --quiet              print nothing; the exit status tells\n"
    "     --json               print the table and the findings as JSON\n"
    "     --strict             fail on warnings too\n"
    "     --sector-size=N      bytes per sector of an image file: 512 (the\n"
    "                          default), 1024, 2048 or 4096\n"
    "     --disk-size=SIZE     check for a disk of SIZE bytes (or K, M, G, T),\n"
    "                          not for IMAGE's own size\n"
    "     --reserve=FIRST-LAST sectors no partition may touch, such as a boot\n"
    "                          loader's; up to 8 ranges\n"
    " -h, --help               this help\n"
    "\n"
    "Numbers are decimal: --reserve 010-017 is sectors 10 to 17 (where mkentry\n"
    "reads 010 as octal 8).\n"
    "\n"
    "Exit status: 0 no error (warnings only, unless --strict), 1 errors,\n"
    "2 IMAGE unreadable or wrong usage.\n";

// The one buffer of the run: the report, or a line for standard error.
// Static, so that it comes zeroed from the kernel, untouched until used.
text out;

// A line on standard error, "mkentry-check: WHAT: " and then the reason,
// with WHAT escaped so that the line stays one line and no control byte
// reaches the terminal. The status says the rest. A name of up to 128 KiB
// (the kernel's limit for one argument) is shortened to its first and last
// 512 bytes, so that the reason always fits.
void start_line(std::string_view what)
{
    constexpr std::size_t kept = 512;
    out.size = 0;
    out.sink = -1; // the line is written whole, by end_line
    append(out, "mkentry-check: ");
    if (what.size() > 2 * kept) {
        append_escaped(out, what.substr(0, kept));
        append(out, "...");
        what.remove_prefix(what.size() - kept);
    }
    append_escaped(out, what);
    append(out, ": ");
}

int end_line()
{
    append(out, "\n");
    (void)write_all(STDERR_FILENO, out.view());
    return exit_trouble;
}

int trouble(std::string_view what, std::string_view reason)
{
    start_line(what);
    append(out, reason);
    return end_line();
}

// A bad option argument, quoted as given.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): read as a sentence
int bad_argument(std::string_view option, std::string_view arg, std::string_view why)
{
    start_line(option);
    append(out, "'");
    append_escaped(out, arg);
    append(out, "' ");
    append(out, why);
    return end_line();
}

int help()
{
    if (!write_all(STDOUT_FILENO, usage_text)) {
        return trouble("standard output", c_string(std::strerror(errno)));
    }
    return exit_clean;
}

} // namespace

int main(int argc, char* argv[])
{
    bool quiet = false;
    bool json = false;
    bool strict = false;
    geometry_options asked;
    const char* disk_size_arg = nullptr;
    disk_limits disk;
    std::array<sector_range, max_reserved> reserved;
    std::size_t reserved_count = 0;
    int opt = 0;
    while ((opt = getopt_long(argc, argv, short_options, long_options.data(), nullptr)) != -1) {
        switch (opt) {
        case 'q':
            quiet = true;
            break;
        case opt_json:
            json = true;
            break;
        case opt_strict:
            strict = true;
            break;
        case opt_sector_size:
            if (!parse_sector_size(c_string(optarg), asked.sector_size)) {
                return bad_argument("--sector-size", c_string(optarg),
                                    "is not 512, 1024, 2048 or 4096");
            }
            break;
        case opt_disk_size:
            disk_size_arg = optarg;
            asked.disk_size_given = true;
            if (!parse_disk_size(c_string(optarg), asked.disk_size)) {
                return bad_argument("--disk-size", c_string(optarg),
                                    "is not a size in bytes, or in K, M, G or T of them");
            }
            break;
        case opt_reserve:
            if (reserved_count == reserved.size()) {
                return bad_argument("--reserve", c_string(optarg),
                                    "is one range too many: 8 at most");
            }
            if (!parse_range(c_string(optarg), reserved[reserved_count++])) {
                return bad_argument("--reserve", c_string(optarg),
                                    "is not FIRST-LAST, sectors with FIRST not above LAST");
            }
            break;
        case 'h':
            return help();
        default:
            // getopt_long has said what was wrong.
            (void)write_all(STDERR_FILENO, usage_text);
            return exit_trouble;
        }
    }
    if (optind != argc - 1) {
        (void)write_all(STDERR_FILENO, usage_text);
        return exit_trouble;
    }

    const char* path = argv[optind];
    image_read image = read_image(path);
    if (!image.ok()) {
        return trouble(c_string(path), c_string(image.failure));
    }
    const disk_geometry geometry =
        settle_geometry(asked, image.size_bytes, image.device_sector_size);
    switch (geometry.problem) {
    case geometry_problem::none:
        break;
    case geometry_problem::sector_size_differs:
        start_line(c_string(path));
        append(out, "--sector-size ");
        append_number(out, asked.sector_size);
        append(out, " was given, but its sectors are ");
        append_number(out, image.device_sector_size);
        append(out, " bytes");
        return end_line();
    case geometry_problem::shorter_than_a_sector:
        start_line(c_string(path));
        append(out, "not a disk image (shorter than one ");
        append_number(out, geometry.sector_size);
        append(out, "-byte sector)");
        return end_line();
    case geometry_problem::disk_size_too_small:
        return bad_argument("--disk-size", c_string(disk_size_arg), "is less than one sector");
    }
    disk.sector_size = geometry.sector_size;
    disk.sectors = geometry.sectors;
    disk.partial_image_bytes = geometry.partial_image_bytes;
    disk.reserved = {reserved.data(), reserved_count};
    image.sector_size = geometry.sector_size;

    const checked_table table = check_table(image.mbr, disk, {read_image_sector, &image});
    if (table.failure.reason != nullptr) {
        start_line(c_string(path));
        append(out, "cannot read the EBR at sector ");
        append_number(out, table.failure.sector);
        append(out, ": ");
        append(out, c_string(table.failure.reason));
        return end_line();
    }
    const int status = fails(table, strict) ? exit_errors : exit_clean;
    if (quiet) {
        return status;
    }
    out.size = 0;
    out.sink = STDOUT_FILENO;
    if (json) {
        format_json(out, table, c_string(path));
    } else {
        format_report(out, table,
                      disk_size_arg != nullptr ? size_source::option : size_source::image);
    }
    // A report that did not arrive must not pass for a clean table.
    if (!flush(out)) {
        return trouble("standard output", c_string(std::strerror(out.sink_error)));
    }
    return status;
}
