// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "disk/image.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads from offset until out is whole or the disk ends, then fills the
// rest with zeros; false on a read error.
bool read_at(int fd, std::uint64_t offset, std::span<std::uint8_t> out)
{
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n =
            pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
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
    // A loop, not std::fill: that would call memset, one more libc
    // function looked up at every start.
    for (; got < out.size(); ++got) {
        out[got] = 0;
    }
    return true;
}

const char* measure(int fd, image_file& image)
{
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return std::strerror(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return std::strerror(EISDIR);
    }
    if (S_ISREG(status.st_mode)) {
        image.size_bytes = static_cast<std::uint64_t>(status.st_size);
        return nullptr;
    }
    if (!S_ISBLK(status.st_mode)) {
        return "not a disk image file or a block device";
    }
    int logical = 0;
    if (ioctl(fd, BLKGETSIZE64, &image.size_bytes) != 0 || ioctl(fd, BLKSSZGET, &logical) != 0) {
        return std::strerror(errno);
    }
    image.device_sector_size = static_cast<std::uint32_t>(logical);
    return nullptr;
}

} // namespace

image_file open_image(const char* path)
{
    image_file image;
    // Without O_NONBLOCK a FIFO would hang the open until a writer came; it
    // changes nothing for files and block devices.
    image.fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (image.fd < 0) {
        image.failure = std::strerror(errno);
        return image;
    }
    image.failure = measure(image.fd, image);
    // What is too short to be a disk is told once the sector size is known.
    if (image.failure == nullptr && !read_at(image.fd, 0, image.mbr)) {
        image.failure = std::strerror(errno);
    }
    return image;
}

const char* read_image(const void* image, std::uint64_t offset, std::span<std::uint8_t> out)
{
    // off_t takes 63 bits of the 64 a disk's bytes may need.
    if (offset > std::uint64_t{INT64_MAX} - out.size()) {
        return std::strerror(EOVERFLOW);
    }
    if (!read_at(static_cast<const image_file*>(image)->fd, offset, out)) {
        return std::strerror(errno);
    }
    return nullptr;
}
