// SPDX-License-Identifier: BSD-3-Clause
#include "bootdev/BootProtocol.h"

#include <algorithm>
#include <cstring>

namespace bootproto {

void BuildRequest(std::uint8_t* buffer, Header header, std::uint8_t command, const std::uint8_t* payload,
                  std::size_t payloadLength) {
    std::memset(buffer, 0, kReportBufferSize);
    const std::uint8_t* pair = header == Header::Download ? kDownloadHeader : kMaintenanceHeader;
    buffer[1] = pair[0];
    buffer[2] = pair[1];
    buffer[3] = command;
    buffer[4] = static_cast<std::uint8_t>(payloadLength & 0xFF);
    buffer[5] = static_cast<std::uint8_t>(payloadLength >> 8 & 0xFF);
    if (payload != nullptr) {
        std::memcpy(buffer + kRequestPayloadOffset, payload,
                    std::min(payloadLength, kReportBufferSize - kRequestPayloadOffset));
    }
}

bool IsBootVersion(const std::uint8_t* version, std::size_t length) {
    if (version == nullptr || length < kBootStringLength) return false;
    auto fold = [](unsigned c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    for (std::size_t i = 0; i < kBootStringLength; ++i)
        if (fold(version[i]) != fold(static_cast<unsigned char>(kBootString[i]))) return false;
    return true;
}

}  // namespace bootproto
