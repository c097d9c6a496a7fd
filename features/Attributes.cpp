// SPDX-License-Identifier: BSD-3-Clause
#include "features/Attributes.h"

#include <PCSC/pcsclite.h>
#include <PCSC/reader.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "carddata/HexCodec.h"
#include "features/VendorAttribute.h"

namespace features {

namespace {

constexpr std::array<StandardAttribute, 15> kStandard{{
    {32832, "Serial Number", SCARD_ATTR_VENDOR_IFD_SERIAL_NO, AttributeForm::Text},
    {32771, "Max IFSD", SCARD_ATTR_MAX_IFSD, AttributeForm::Number},
    {32800, "Max Clk", SCARD_ATTR_MAX_CLK, AttributeForm::Number},
    {32801, "Max Data Rate", SCARD_ATTR_MAX_DATA_RATE, AttributeForm::Number},
    {32802, "Default Clk", SCARD_ATTR_DEFAULT_CLK, AttributeForm::Number},
    {32803, "Default Data Rate", SCARD_ATTR_DEFAULT_DATA_RATE, AttributeForm::Number},
    {32804, "Vendor Name", SCARD_ATTR_VENDOR_NAME, AttributeForm::Text},
    {32805, "Vendor IFD Type", SCARD_ATTR_VENDOR_IFD_TYPE, AttributeForm::Text},
    {32806, "Vendor IFD Version", SCARD_ATTR_VENDOR_IFD_VERSION, AttributeForm::Hex},
    {32809, "Current BWT", SCARD_ATTR_CURRENT_BWT, AttributeForm::Number},
    {32810, "Current CWT", SCARD_ATTR_CURRENT_CWT, AttributeForm::Number},
    {32811, "Current Wx", SCARD_ATTR_CURRENT_W, AttributeForm::Number},
    {32812, "Current IFSC", SCARD_ATTR_CURRENT_IFSC, AttributeForm::Number},
    {32813, "Current IFSD", SCARD_ATTR_CURRENT_IFSD, AttributeForm::Number},
    {32833, "Channel ID", SCARD_ATTR_CHANNEL_ID, AttributeForm::HexReversed},
}};

constexpr std::array<VendorAttribute, 7> kVendor{{
    {32831, "Driver Version", 0x187, AttributeForm::Text},
    {32816, "Current Time Out", 0x183, AttributeForm::Number},
    {32817, "Cold Reset Delay", 0x182, AttributeForm::Number},
    {32818, "Current Voltage", 0x186, AttributeForm::Hex},
    {32819, "Firmware Version", 0x184, AttributeForm::Text},
    {32820, "Manufacturer Name", 0x190, AttributeForm::Text},
    {32821, "Original Filename", 0x191, AttributeForm::Text},
}};

}  // namespace

std::span<const StandardAttribute> StandardAttributes() { return kStandard; }
std::span<const VendorAttribute> VendorAttributes() { return kVendor; }

std::optional<StandardAttribute> FindStandardAttribute(int command) {
    for (const StandardAttribute& a : kStandard) {
        if (a.command == command) return a;
    }
    return std::nullopt;
}

std::optional<VendorAttribute> FindVendorAttribute(int command) {
    for (const VendorAttribute& a : kVendor) {
        if (a.command == command) return a;
    }
    return std::nullopt;
}

namespace {

std::string Hex32(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string StandardAttributeName(std::uint32_t id) {
    for (const StandardAttribute& a : kStandard) {
        if (a.id == id) return std::string(a.entry);
    }
    return Hex32(id);
}

std::string VendorAttributeName(unsigned tag) {
    for (const VendorAttribute& a : kVendor) {
        if (a.tag == tag) return std::string(a.entry);
    }
    return Hex32(0x00070000u + tag);
}

std::size_t StandardAnswerSize() { return MAX_BUFFER_SIZE; }

std::string FormatAttribute(AttributeForm form, const std::uint8_t* buffer, std::size_t size,
                            std::size_t returned) {
    if (buffer == nullptr) size = 0;
    returned = std::min(returned, size);
    const CHexCodec codec;
    switch (form) {
    case AttributeForm::Text:
        return AttributeText(buffer, size);
    case AttributeForm::Number: {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4 && i < size; ++i) value |= static_cast<std::uint32_t>(buffer[i]) << (8 * i);
        char text[16];
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(static_cast<std::int32_t>(value)));
        return text;
    }
    case AttributeForm::Hex:
        return codec.BytesToHex(static_cast<unsigned>(returned), buffer);
    case AttributeForm::HexReversed: {
        std::vector<std::uint8_t> reversed(buffer, buffer + returned);
        std::reverse(reversed.begin(), reversed.end());
        return codec.BytesToHex(static_cast<unsigned>(reversed.size()), reversed.data());
    }
    }
    return {};
}

}  // namespace features
