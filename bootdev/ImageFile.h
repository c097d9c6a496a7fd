// SPDX-License-Identifier: BSD-3-Clause
// Firmware image files: raw bytes in a regular file. A path may name
// anything (a FIFO that never delivers, /dev/zero that never ends, a
// directory), so the file is opened without blocking and refused unless it
// is a regular file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ImageLoad {
    Ok,
    CannotOpen,  // missing, unreadable, not a regular file, or a read failed
    TooLarge,    // more than the block numbers address, or no memory for it
};

// Whether `path` opens for reading as a regular file; nothing is read.
bool ImageFileOpens(const std::string& path);

// The whole file into `image` (replaced). `maxSize` bounds what is accepted.
ImageLoad LoadImageFile(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>& image);
