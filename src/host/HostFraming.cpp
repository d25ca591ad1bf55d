// Framed TCP requests without sockets.
#include "host/HostFraming.h"

namespace tvxhost {

CFrameReader::EState CFrameReader::Next(std::string& text) {
    if (m_strBuffer.size() < m_nPrefix)
        return EState::NeedMore;
    std::size_t length = 0;
    for (std::size_t i = 0; i < m_nPrefix; ++i)
        length = length << 8 | static_cast<unsigned char>(m_strBuffer[i]);
    if (length == 0 || length > kMaxRequestBytes)
        return EState::Malformed;
    if (m_strBuffer.size() - m_nPrefix < length)
        return EState::NeedMore;
    text.assign(m_strBuffer, m_nPrefix, length);
    m_strBuffer.erase(0, m_nPrefix + length);
    return EState::Frame;
}

std::optional<std::string> FrameText(EFraming framing, std::string_view text) {
    const int prefix = framing == EFraming::Len2 ? 2 : 4;
    if (prefix == 2 ? text.size() > 0xFFFF : text.size() > 0xFFFFFFFFu)
        return std::nullopt;
    std::string out;
    out.reserve(prefix + text.size());
    for (int i = prefix - 1; i >= 0; --i)
        out.push_back(static_cast<char>(text.size() >> (8 * i) & 0xFF));
    out.append(text);
    return out;
}

} // namespace tvxhost
