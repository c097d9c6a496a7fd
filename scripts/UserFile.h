// SPDX-License-Identifier: BSD-3-Clause
// Reading and rewriting the files that hold a user's work (command files).
// Paths are the file system's bytes, never converted. Both report the cause
// of a failure as the log does, so the windows show the same French texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "scripts/LogFile.h"

// Reads the whole of a regular file of at most maxBytes into bytes. Anything
// else (a folder, a FIFO, a device) is refused as InvalidFile before a byte is
// read: it is opened without blocking and checked, so a FIFO without a writer
// never holds the caller. A larger file is InvalidFile too; a missing one
// FileNotFound. bytes is only changed on success.
LogFailure ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

// Replaces what path holds by bytes, keeping the file what it was:
// - a symbolic link is followed, and its target is the file rewritten;
// - the new text goes to a temporary file beside the target and is renamed
//   over it once complete; it takes the old file's mode and, where the
//   program may, its owner and group;
// - a file the user may not write (or that carries no write permission at
//   all) is refused as AccessDenied, anything but a regular file as
//   InvalidFile, and nothing is written;
// - where the folder refuses a new file but the file itself is writable, the
//   file is rewritten in place from the text built in memory, its space
//   reserved first and its old text put back should a write still fail.
// A failed rewrite leaves the old file byte for byte; a missing file is
// created (mode 0644).
LogFailure RewriteUserFile(const std::string& path, std::string_view bytes);
