// Framed TCP requests without sockets: a big-endian length (two or four bytes) before each text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tvxhost {

// The largest request the host takes, over HTTP or in a frame.
inline constexpr std::size_t kMaxRequestBytes = 1 << 20;

enum class EFraming { Len2, Len4 };

// Cuts a byte stream into frames. A frame of length 0 or over kMaxRequestBytes is malformed: the
// stream cannot be read on from there, and the connection is closed.
class CFrameReader {
public:
    enum class EState { Frame, NeedMore, Malformed };

    explicit CFrameReader(EFraming framing) : m_nPrefix(framing == EFraming::Len2 ? 2 : 4) {}

    void Feed(std::string_view bytes) { m_strBuffer.append(bytes); }
    // Frame: the next frame's content is in text, and its bytes are dropped from the buffer.
    EState Next(std::string& text);
    // Bytes of a frame not yet complete are waiting.
    bool HasPartFrame() const { return !m_strBuffer.empty(); }

private:
    std::size_t m_nPrefix;
    std::string m_strBuffer;
};

// The answer with its length before it; none when it is too long for the prefix.
std::optional<std::string> FrameText(EFraming framing, std::string_view text);

} // namespace tvxhost
