#pragma once
// The output buffer of a text view: what PRINT and PRINTF appended since the last clear,
// kept below about 32700 characters by cutting whole lines off its front, and shown with
// every line break as CR LF.

#include <cstdint>
#include <string>
#include <string_view>

namespace tivane {

class OutputBuffer {
public:
    // The buffer is cut once appending would bring it to this size.
    static constexpr size_t kLimit = 32700;
    // Each cut drops this much more than the text that caused it, so cuts are rare.
    static constexpr size_t kCut = 2700;

    // Appends; when the buffer reaches the limit, drops its first (text length + 2700)
    // characters, or as many as leave (kLimit - kCut) when the text alone is that long, and
    // marks it truncated. Every cut goes on to the end of the line it falls in, so the buffer
    // starts with a whole line; only a last line longer than what is kept is cut inside.
    void Append(std::string_view text);
    // Turns every line break into CR LF (a lone LF gains a CR, a lone CR a LF), dropping at
    // least the first 2700 characters, to a line's end, whenever the buffer passes the limit
    // while growing, and returns the buffer. Clears the truncated mark.
    std::string Show();
    // How many characters the last Show cut from the front of what was shown or assigned
    // before it (all of it when no character of it is left): a window that holds that text
    // shows the new one by dropping as many and appending the rest.
    size_t DroppedByLastShow() const { return m_lastDropped; }
    // The number of characters after the last CR or LF; length - 1 when there is none.
    int32_t Column() const;

    void Assign(std::string_view text) {
        m_text = text;
        m_truncated = false;
        m_shownSize = m_text.size();
        m_dropped = m_lastDropped = 0;
    }
    void Clear() { Assign({}); }
    const std::string& Text() const { return m_text; }
    bool Truncated() const { return m_truncated; }

private:
    std::string m_text;
    bool m_truncated = false;
    // The size of the text last shown or assigned, and how much was cut from the front since.
    size_t m_shownSize = 0;
    size_t m_dropped = 0;
    size_t m_lastDropped = 0;
};

} // namespace tivane
