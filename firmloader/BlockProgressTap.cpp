#include "firmloader/BlockProgressTap.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "bootdev/BootProtocol.h"

namespace {

class TappedConnection final : public HidConnection {
public:
    TappedConnection(std::unique_ptr<HidConnection> inner, const BlockProgressTap::Listener& listener)
        : m_inner(std::move(inner)), m_listener(listener)
    {
    }

    std::size_t FeatureReportLength() const override { return m_inner->FeatureReportLength(); }

    bool WriteFeature(const std::uint8_t* data, std::size_t length) override
    {
        // Keep only what identifies a data packet: its first ten bytes.
        m_lastRequestLength = std::min(length, m_lastRequest.size());
        std::memcpy(m_lastRequest.data(), data, m_lastRequestLength);
        m_requestPending = true;
        return m_inner->WriteFeature(data, length);
    }

    bool ReadFeature(std::uint8_t* data, std::size_t length) override
    {
        const bool read = m_inner->ReadFeature(data, length);
        std::uint32_t block = 0;
        if (read && m_requestPending && m_listener &&
            BlockProgressTap::IsBlockAcknowledged(m_lastRequest.data(), data,
                                                  std::min(length, m_lastRequestLength), &block))
            m_listener(block);
        m_requestPending = false;
        return read;
    }

private:
    std::unique_ptr<HidConnection> m_inner;
    const BlockProgressTap::Listener& m_listener;
    std::array<std::uint8_t, 10> m_lastRequest{};
    std::size_t m_lastRequestLength = 0;
    bool m_requestPending = false;
};

}  // namespace

std::unique_ptr<HidConnection> BlockProgressTap::Open(const std::string& path)
{
    std::unique_ptr<HidConnection> inner = m_inner.Open(path);
    if (!inner)
        return nullptr;
    return std::make_unique<TappedConnection>(std::move(inner), m_listener);
}

bool BlockProgressTap::IsBlockAcknowledged(const std::uint8_t* request, const std::uint8_t* answer,
                                           std::size_t length, std::uint32_t* blockNumber)
{
    using namespace bootproto;
    // Request bytes 0..9 and answer bytes 0..8 are read.
    if (length < 10)
        return false;
    if (request[1] != kDownloadHeader[0] || request[2] != kDownloadHeader[1] || request[3] != kDataPacket)
        return false;
    const std::uint32_t sent = GetLe32(request + kRequestPayloadOffset);
    if (answer[2] != 0 || AnswerDataLength(answer) != 4 || GetLe32(answer + kAnswerDataOffset) != sent)
        return false;
    *blockNumber = sent;
    return true;
}
