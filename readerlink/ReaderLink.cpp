// SPDX-License-Identifier: BSD-3-Clause
#include "readerlink/ReaderLink.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The resource manager's LONG may be 64 bits wide; its codes fit in 32.
PcscResult ToResult(LONG rv) { return static_cast<PcscResult>(static_cast<std::uint32_t>(rv)); }

// A reader list larger than this is not believed: it would be thousands of readers.
constexpr DWORD kMaxReaderListLength = 1u << 20;

}  // namespace

CReaderLink::CReaderLink()
    : m_readerNames{}, m_activeProtocol(0xFFFFFFFFu), m_maxReaders(1), m_hContext(0), m_hCard(0), m_ioRequest{} {}

PcscResult CReaderLink::EstablishContext(DWORD scope, LPCVOID reserved1, LPCVOID reserved2) {
    return ToResult(CurrentPcscApi().EstablishContext(scope, reserved1, reserved2, &m_hContext));
}

PcscResult CReaderLink::ReleaseContext() { return ToResult(CurrentPcscApi().ReleaseContext(m_hContext)); }

void CReaderLink::SetMaxReaders(int count) {
    if (count > 0) m_maxReaders = std::min(count, kReaderSlots);
}

PcscResult CReaderLink::ListReaders(LPCSTR groups) {
    if (m_hContext == 0) return NO_HANDLE;
    const PcscApi& api = CurrentPcscApi();

    DWORD length = 2048;
    LONG rv = api.ListReaders(m_hContext, nullptr, nullptr, &length);
    if (rv != SCARD_S_SUCCESS) return ToResult(rv);

    // The buffer is sized to what the resource manager asked for, so the
    // second call is never told it has more room than it has.
    length = std::clamp<DWORD>(length, 1, kMaxReaderListLength);
    std::vector<char> list(length, '\0');
    DWORD returned = length;
    rv = api.ListReaders(m_hContext, groups, list.data(), &returned);
    if (rv != SCARD_S_SUCCESS) return ToResult(rv);
    returned = std::min(returned, length);

    int count = 0;
    DWORD offset = 0;
    while (count < m_maxReaders && returned > offset + 1) {
        const char* name = list.data() + offset;
        const void* end = std::memchr(name, '\0', returned - offset);
        const std::size_t nameLength = end ? static_cast<const char*>(end) - name : returned - offset;
        // Names longer than a slot are cut to 99 characters.
        const std::size_t kept = std::min<std::size_t>(nameLength, kReaderNameSize - 1);
        std::memcpy(m_readerNames[count], name, kept);
        m_readerNames[count][kept] = '\0';
        ++count;
        offset += static_cast<DWORD>(nameLength) + 1;
    }
    m_maxReaders = count;
    return SCARD_S_SUCCESS;
}

PcscResult CReaderLink::Connect(LPCSTR readerName, DWORD shareMode, DWORD preferredProtocols,
                                DWORD* activeProtocol) {
    if (m_hContext == 0) return NO_HANDLE;
    if (m_cardGone) {
        (void)Disconnect(SCARD_LEAVE_CARD);
        m_cardGone = false;
    }
    DWORD protocol = activeProtocol ? *activeProtocol : 0;
    const LONG rv = CurrentPcscApi().Connect(m_hContext, readerName, shareMode, preferredProtocols, &m_hCard,
                                             &protocol);
    if (activeProtocol) *activeProtocol = protocol;
    m_activeProtocol = protocol;
    return ToResult(rv);
}

PcscResult CReaderLink::Reconnect(DWORD shareMode, DWORD preferredProtocols, DWORD initialization,
                                  DWORD* activeProtocol) {
    if (m_hCard == 0) return NO_HANDLE;
    DWORD protocol = activeProtocol ? *activeProtocol : 0;
    const LONG rv = CurrentPcscApi().Reconnect(m_hCard, shareMode, preferredProtocols, initialization, &protocol);
    if (activeProtocol) *activeProtocol = protocol;
    return ToResult(rv);
}

PcscResult CReaderLink::Disconnect(DWORD disposition) {
    m_cardGone = false;
    return ToResult(CurrentPcscApi().Disconnect(m_hCard, disposition));
}

PcscResult CReaderLink::Transmit(const std::uint8_t* send, DWORD sendLength, std::uint8_t* receive,
                                 DWORD* receiveLength) {
    if (m_hCard == 0) return NO_HANDLE;
    m_ioRequest.dwProtocol = m_activeProtocol;
    m_ioRequest.cbPciLength = sizeof(SCARD_IO_REQUEST);
    return ToResult(CurrentPcscApi().Transmit(m_hCard, &m_ioRequest, send, sendLength, nullptr, receive,
                                              receiveLength));
}

PcscResult CReaderLink::Control(DWORD controlCode, const void* in, DWORD inLength, void* out, DWORD outSize,
                                DWORD* bytesReturned) {
    return ControlCard(m_hCard, controlCode, in, inLength, out, outSize, bytesReturned);
}

PcscResult CReaderLink::ControlCard(SCARDHANDLE card, DWORD controlCode, const void* in, DWORD inLength, void* out,
                                    DWORD outSize, DWORD* bytesReturned) {
    if (card == 0) return NO_HANDLE;
    return ToResult(CurrentPcscApi().Control(card, controlCode, in, inLength, out, outSize, bytesReturned));
}

PcscResult CReaderLink::GetAttrib(DWORD attrId, std::uint8_t* attr, DWORD* attrLength) {
    if (m_hCard == 0) return NO_HANDLE;
    return ToResult(CurrentPcscApi().GetAttrib(m_hCard, attrId, attr, attrLength));
}

PcscResult CReaderLink::Status(char* readerName, DWORD* readerLength, DWORD* state, DWORD* protocol,
                               std::uint8_t* atr, DWORD* atrLength) {
    if (m_hCard == 0) return NO_HANDLE;
    return ToResult(CurrentPcscApi().Status(m_hCard, readerName, readerLength, state, protocol, atr, atrLength));
}

char* CReaderLink::ReaderName(int slot) { return m_readerNames[std::clamp(slot, 0, kReaderSlots - 1)]; }

const char* CReaderLink::ReaderName(int slot) const {
    return m_readerNames[std::clamp(slot, 0, kReaderSlots - 1)];
}
