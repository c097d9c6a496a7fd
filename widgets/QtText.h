// SPDX-License-Identifier: BSD-3-Clause
// The kit's texts are code page 1252; Qt shows Unicode. Every window
// converts through these, never through a copy of its own.
#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "readerlink/Cp1252.h"

inline QString ToQString(std::string_view cp1252) { return QString::fromUtf8(Cp1252ToUtf8(cp1252)); }

// For the few texts that come from outside in UTF-8 and stay Unicode.
inline QString Utf8ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string FromQString(const QString& text) { return Utf8ToCp1252(text.toUtf8().toStdString()); }
