// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "image.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads the 512 bytes at offset, until they are whole or the disk ends;
// false on a read error. got says how many came.
bool read_at(int fd, std::uint64_t offset, sector_bytes& bytes, std::size_t& got)
{
    got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(offset + got));
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

void read_open(int fd, image_read& image)
{
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        image.failure = std::strerror(errno);
        return;
    }
    if (S_ISDIR(status.st_mode)) {
        image.failure = std::strerror(EISDIR);
        return;
    }
    if (S_ISREG(status.st_mode)) {
        image.size_bytes = static_cast<std::uint64_t>(status.st_size);
    } else if (S_ISBLK(status.st_mode)) {
        int logical = 0;
        if (ioctl(fd, BLKGETSIZE64, &image.size_bytes) != 0 ||
            ioctl(fd, BLKSSZGET, &logical) != 0) {
            image.failure = std::strerror(errno);
            return;
        }
        image.device_sector_size = static_cast<std::uint32_t>(logical);
    } else {
        image.failure = "not a disk image file or a block device";
        return;
    }
    std::size_t got = 0;
    if (!read_at(fd, 0, image.mbr, got)) {
        image.failure = std::strerror(errno);
    } else if (got < image.mbr.size()) {
        image.failure = "not a disk image (shorter than one 512-byte sector)";
    }
}

} // namespace

image_read read_image(const char* path)
{
    image_read image;
    // Without O_NONBLOCK a FIFO would hang the open until a writer came; it
    // changes nothing for files and block devices.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        image.failure = std::strerror(errno);
        return image;
    }
    // The descriptor is left to the process's end.
    image.fd = fd;
    read_open(fd, image);
    return image;
}

const char* read_image_sector(const void* image, std::uint64_t sector, sector_bytes& out)
{
    const auto& disk = *static_cast<const image_read*>(image);
    // The checker asks only for sectors inside the disk, whose bytes fit in
    // 64 bits; off_t takes 63 of them.
    const std::uint64_t offset = sector * disk.sector_size;
    if (offset > std::uint64_t{INT64_MAX} - mbr_size) {
        return std::strerror(EOVERFLOW);
    }
    std::size_t got = 0;
    if (!read_at(disk.fd, offset, out, got)) {
        return std::strerror(errno);
    }
    for (std::size_t i = got; i < out.size(); ++i) {
        out[i] = 0;
    }
    return nullptr;
}
