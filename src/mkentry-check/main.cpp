// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// mkentry-check: reads the partition table of a disk image or a block
// device and reports what its readers would not read as written.
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <getopt.h>

#include "arguments.h"
#include "c_text.h"
#include "disk/geometry.h"
#include "disk/image.h"
#include "report/escape.h"
#include "report/report.h"
#include "report/svg.h"
#include "table.h"

namespace {

constexpr int exit_clean = 0;   // no error; there may be warnings
constexpr int exit_errors = 1;  // a board would not read the table as written
constexpr int exit_trouble = 2; // wrong usage, the disk unreadable, or the report unwritten

// Long options without a short twin return these.
enum : int {
    opt_json = 256,
    opt_strict,
    opt_sector_size,
    opt_disk_size,
    opt_reserve,
    opt_soc,
    opt_svg
};

constexpr std::array<option, 10> long_options = {{
    {"quiet", no_argument, nullptr, 'q'},
    {"json", no_argument, nullptr, opt_json},
    {"strict", no_argument, nullptr, opt_strict},
    {"sector-size", required_argument, nullptr, opt_sector_size},
    {"disk-size", required_argument, nullptr, opt_disk_size},
    {"reserve", required_argument, nullptr, opt_reserve},
    {"soc", required_argument, nullptr, opt_soc},
    {"svg", required_argument, nullptr, opt_svg},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
}};

constexpr const char* usage_text =
    "Usage: mkentry-check [OPTION]... IMAGE\n"
    "\n"
    "Check the partition table of IMAGE, a disk image file or a block device:\n"
    "the MBR in its first sector and the logical partitions in an extended\n"
    "one, or the GPT behind a protective or hybrid MBR, against what\n"
    "firmware, boot loaders and Linux read. Prints the partitions, then a\n"
    "line for each error or warning.\n"
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
    "     --soc=FAMILY         check what the boot ROM of FAMILY demands of the\n"
    "                          card: allwinner, rockchip, imx6, imx8m, am335x,\n"
    "                          rpi (Pi 0-3), rpi4 (Pi 4, 400) or amlogic\n"
    "     --svg=FILE           also draw the disk, its readers and the findings\n"
    "                          as an SVG picture into FILE; - draws it on\n"
    "                          standard output instead of the report\n"
    " -h, --help               this help\n"
    "\n"
    "Numbers are decimal: --reserve 010-017 is sectors 10 to 17 (where mkentry\n"
    "reads 010 as octal 8).\n"
    "\n"
    "Exit status: 0 no error (warnings only, unless --strict), 1 errors,\n"
    "2 IMAGE unreadable or wrong usage.\n";

struct run_options {
    bool quiet = false;
    bool json = false;
    bool strict = false;
    bool help = false;
    geometry_options geometry;
    std::array<sector_range, 8> reserved{};
    std::size_t reserved_count = 0;
    soc_family soc = soc_family::none;
    const char* disk_size_arg = nullptr;
    const char* svg_path = nullptr;
    const char* path = nullptr;
};

// "mkentry-check: WHAT: " on standard error, WHAT escaped so that the line
// stays one line and no control byte reaches the terminal; a name of up to
// the kernel's 128 KiB is shortened to its first and last 512 bytes.
void start_complaint(std::string_view what)
{
    constexpr std::size_t kept = 512;
    std::fputs("mkentry-check: ", stderr);
    if (what.size() > 2 * kept) {
        put_escaped(stderr, what.substr(0, kept));
        std::fputs("...", stderr);
        what.remove_prefix(what.size() - kept);
    }
    put_escaped(stderr, what);
    std::fputs(": ", stderr);
}

int trouble(std::string_view what, const char* reason)
{
    start_complaint(what);
    std::fprintf(stderr, "%s\n", reason);
    return exit_trouble;
}

// A bad option argument, quoted as given.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): read as a sentence
int bad_argument(const char* option, const char* arg, const char* why)
{
    start_complaint(text_of(option));
    std::fputs("'", stderr);
    put_escaped(stderr, text_of(arg));
    std::fprintf(stderr, "' %s\n", why);
    return exit_trouble;
}

int usage_error(const char* what)
{
    if (what != nullptr) {
        std::fprintf(stderr, "mkentry-check: %s\n", what);
    }
    std::fputs("Try 'mkentry-check --help' for more information.\n", stderr);
    return exit_trouble;
}

// The options, or the status of a run they end.
int read_options(int argc, char* argv[], run_options& run)
{
    int opt = 0;
    while ((opt = getopt_long(argc, argv, "qh", long_options.data(), nullptr)) != -1) {
        switch (opt) {
        case 'q':
            run.quiet = true;
            break;
        case opt_json:
            run.json = true;
            break;
        case opt_strict:
            run.strict = true;
            break;
        case opt_sector_size:
            if (!parse_sector_size(text_of(optarg), run.geometry.sector_size)) {
                return bad_argument("--sector-size", optarg, "is not 512, 1024, 2048 or 4096");
            }
            break;
        case opt_disk_size:
            run.disk_size_arg = optarg;
            run.geometry.disk_size_given = true;
            if (!parse_disk_size(text_of(optarg), run.geometry.disk_size)) {
                return bad_argument("--disk-size", optarg,
                                    "is not a size in bytes, or in K, M, G or T of them");
            }
            break;
        case opt_reserve:
            if (run.reserved_count == run.reserved.size()) {
                return bad_argument("--reserve", optarg, "is one range too many: 8 at most");
            }
            if (!parse_range(text_of(optarg), run.reserved[run.reserved_count++])) {
                return bad_argument("--reserve", optarg,
                                    "is not FIRST-LAST, sectors with FIRST not above LAST");
            }
            break;
        case opt_soc:
            if (!parse_soc(text_of(optarg), run.soc)) {
                return bad_argument("--soc", optarg,
                                    "is not allwinner, rockchip, imx6, imx8m, am335x, rpi, rpi4 "
                                    "or amlogic");
            }
            break;
        case opt_svg:
            run.svg_path = optarg;
            break;
        case 'h':
            run.help = true;
            return exit_clean;
        default:
            return usage_error(nullptr); // getopt_long has said what was wrong
        }
    }
    if (optind == argc) {
        return usage_error("missing IMAGE");
    }
    if (optind + 1 < argc) {
        std::fputs("mkentry-check: extra operand '", stderr);
        put_escaped(stderr, text_of(argv[optind + 1]));
        std::fputs("'\n", stderr);
        return usage_error(nullptr);
    }
    run.path = argv[optind];
    // The picture is written after the disk is read: into the image
    // itself, it would destroy it.
    if (run.svg_path != nullptr && text_of(run.svg_path) == text_of(run.path)) {
        return bad_argument("--svg", run.svg_path, "is IMAGE itself");
    }
    return exit_clean;
}

// The disk as the options and the image settle it, or the status of a run
// that cannot go on.
int settle(const run_options& run, const image_file& image, disk_geometry& disk)
{
    disk = settle_geometry(run.geometry, image.size_bytes, image.device_sector_size);
    switch (disk.problem) {
    case geometry_problem::none:
        return exit_clean;
    case geometry_problem::sector_size_differs:
        start_complaint(text_of(run.path));
        std::fprintf(stderr, "--sector-size %u was given, but its sectors are %u bytes\n",
                     run.geometry.sector_size, image.device_sector_size);
        return exit_trouble;
    case geometry_problem::shorter_than_a_sector:
        start_complaint(text_of(run.path));
        std::fprintf(stderr, "not a disk image (shorter than one %u-byte sector)\n",
                     disk.sector_size);
        return exit_trouble;
    case geometry_problem::disk_size_too_small:
        return bad_argument("--disk-size", run.disk_size_arg, "is less than one sector");
    }
    return exit_trouble;
}

// Standard output reached its destination, or the run is trouble: a report
// that did not arrive must not pass for a clean table.
int close_stdout(int status)
{
    const bool failed_before = std::ferror(stdout) != 0;
    if (std::fclose(stdout) != 0 || failed_before) {
        return trouble("standard output", std::strerror(errno));
    }
    return status;
}

// The picture, into its file or, for -, standard output; trouble when it
// did not arrive.
int write_svg(const run_options& run, const checked_table& table)
{
    const std::string_view path = text_of(run.svg_path);
    if (path == "-") {
        print_svg(stdout, table, text_of(run.path), run.strict);
        return exit_clean;
    }
    std::FILE* out = std::fopen(run.svg_path, "w");
    if (out == nullptr) {
        return trouble(path, std::strerror(errno));
    }
    // Unbuffered: the picture is built in blocks of its own, each one write.
    std::setvbuf(out, nullptr, _IONBF, 0);
    print_svg(out, table, text_of(run.path), run.strict);
    const bool failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || failed) {
        return trouble(path, std::strerror(errno));
    }
    return exit_clean;
}

} // namespace

int main(int argc, char* argv[])
{
    // Static buffers: no heap, and a report leaves in one write.
    static std::array<char, std::size_t{64} * 1024> out_buffer;
    static std::array<char, std::size_t{2} * 1024> err_buffer;
    std::setvbuf(stdout, out_buffer.data(), _IOFBF, out_buffer.size());
    std::setvbuf(stderr, err_buffer.data(), _IOLBF, err_buffer.size());

    run_options run;
    if (const int status = read_options(argc, argv, run); status != exit_clean) {
        return status;
    }
    if (run.help) {
        std::fputs(usage_text, stdout);
        return close_stdout(exit_clean);
    }
    const image_file image = open_image(run.path);
    if (image.failure != nullptr) {
        return trouble(text_of(run.path), image.failure);
    }
    disk_geometry disk;
    if (const int status = settle(run, image, disk); status != exit_clean) {
        return status;
    }
    const checked_table table = check_table(
        image.mbr, disk, {run.reserved.data(), run.reserved_count}, {read_image, &image}, run.soc);
    if (const read_failure& failure = table.check.failure; failure.reason != nullptr) {
        start_complaint(text_of(run.path));
        std::fprintf(stderr, "cannot read %s at sector %llu: %s\n", failure.what,
                     static_cast<unsigned long long>(failure.sector), failure.reason);
        return exit_trouble;
    }
    const bool svg_replaces_report = run.svg_path != nullptr && text_of(run.svg_path) == "-";
    if (run.svg_path != nullptr) {
        if (const int status = write_svg(run, table); status != exit_clean) {
            return status;
        }
    }
    if (svg_replaces_report) {
        // The picture is the whole of standard output.
    } else if (!run.quiet && run.json) {
        print_json(stdout, table, text_of(run.path));
    } else if (!run.quiet) {
        print_report(stdout, table,
                     run.disk_size_arg != nullptr ? size_source::option : size_source::image);
    }
    return close_stdout(fails(table, run.strict) ? exit_errors : exit_clean);
}
