// Code page 1252 <-> UTF-8. The kit's texts, files and logs are cp1252 bytes;
// windows show them as Unicode through this one table.
#pragma once

#include <string>
#include <string_view>

std::string Cp1252ToUtf8(std::string_view text);

// Characters outside code page 1252 become replacement.
std::string Utf8ToCp1252(std::string_view text, char replacement = '?');
