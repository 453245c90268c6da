// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "image.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads until the sector is full or the disk ends; false on a read error.
bool read_sector(int fd, sector_bytes& sector, std::size_t& got)
{
    got = 0;
    while (got < sector.size()) {
        const ssize_t n =
            pread(fd, sector.data() + got, sector.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

const char* read_open(int fd, sector_bytes& sector, std::uint64_t& disk_bytes)
{
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return std::strerror(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return std::strerror(EISDIR);
    }
    if (S_ISREG(status.st_mode)) {
        disk_bytes = static_cast<std::uint64_t>(status.st_size);
    } else if (S_ISBLK(status.st_mode)) {
        if (ioctl(fd, BLKGETSIZE64, &disk_bytes) != 0) {
            return std::strerror(errno);
        }
    } else {
        return "not a disk image file or a block device";
    }
    std::size_t got = 0;
    if (!read_sector(fd, sector, got)) {
        return std::strerror(errno);
    }
    if (got < sector.size()) {
        return "shorter than one 512-byte sector";
    }
    return nullptr;
}

} // namespace

const char* read_image(const char* path, sector_bytes& sector, std::uint64_t& disk_bytes)
{
    // Without O_NONBLOCK a FIFO would hang the open until a writer came; it
    // changes nothing for files and block devices.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return std::strerror(errno);
    }
    // The descriptor is left to the process's end, which comes next.
    return read_open(fd, sector, disk_bytes);
}
