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

#include "image.h"
#include "report.h"
#include "table_check.h"

namespace {

constexpr int exit_clean = 0;   // no error; there may be warnings
constexpr int exit_errors = 1;  // a reader would reject, drop or truncate the table
constexpr int exit_trouble = 2; // the disk could not be read, or the report not written

constexpr char short_options[] = "qh";
constexpr std::array<option, 3> long_options = {{
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
}};

constexpr std::string_view usage_text =
    "Usage: mkentry-check [-q] IMAGE\n"
    "\n"
    "Check the MBR partition table in the first sector of IMAGE, a disk image\n"
    "file or a block device, against what firmware, boot loaders and Linux\n"
    "accept. Prints the table, then a line for each error or warning.\n"
    "\n"
    "Options:\n"
    " -q, --quiet            print nothing; the exit status tells\n"
    " -h, --help             this help\n"
    "\n"
    "Exit status: 0 clean or warnings only, 1 errors, 2 IMAGE unreadable.\n";

bool write_all(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int usage(int fd, int status) { return write_all(fd, usage_text) ? status : exit_trouble; }

// One line on standard error; the status says the rest.
int trouble(std::string_view what, std::string_view reason)
{
    for (const std::string_view part : {std::string_view("mkentry-check: "), what,
                                        std::string_view(": "), reason, std::string_view("\n")}) {
        (void)write_all(STDERR_FILENO, part);
    }
    return exit_trouble;
}

} // namespace

int main(int argc, char* argv[])
{
    bool quiet = false;
    int opt = 0;
    while ((opt = getopt_long(argc, argv, short_options, long_options.data(), nullptr)) != -1) {
        switch (opt) {
        case 'q':
            quiet = true;
            break;
        case 'h':
            return usage(STDOUT_FILENO, exit_clean);
        default:
            // getopt_long has said what was wrong.
            return usage(STDERR_FILENO, exit_trouble);
        }
    }
    if (optind != argc - 1) {
        return usage(STDERR_FILENO, exit_trouble);
    }

    const char* path = argv[optind];
    sector_bytes sector{};
    std::uint64_t disk_bytes = 0;
    if (const char* reason = read_image(path, sector, disk_bytes)) {
        return trouble(path, reason);
    }
    const std::uint64_t disk_sectors = disk_bytes / sector_size;
    const table_check check = check_table(sector, disk_sectors);
    const int status = has_errors(check) ? exit_errors : exit_clean;
    if (quiet) {
        return status;
    }

    // Static, so that its 8 KiB come zeroed from the kernel rather than
    // from a memset in every run.
    static text report;
    format_table(report, check, disk_sectors);
    // Errors first: they are what stops the image.
    for (const bool errors : {true, false}) {
        for (std::size_t i = 0; i < check.finding_count; ++i) {
            if (is_error(check.findings[i].what) == errors) {
                format_finding(report, check.findings[i]);
            }
        }
    }
    // A report that did not arrive must not pass for a clean table.
    if (!write_all(STDOUT_FILENO, {report.data.data(), report.size})) {
        return trouble("standard output", std::strerror(errno));
    }
    return status;
}
