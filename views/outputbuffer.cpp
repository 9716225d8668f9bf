#include "outputbuffer.h"

#include <algorithm>

namespace tivane {

namespace {

// How much to drop from the front of `text` to remove at least `need` characters and end on a
// whole line: the cut goes on past the line break that ends the line it falls in (CR LF
// counts as one break). A cut that finds no break, or whose line is the last of the buffer
// (`more` is how many characters follow `text` in it), stays at `need`: there is no whole
// line to keep, and the end of the last line is better than nothing.
size_t WholeLinesCut(std::string_view text, size_t need, size_t more) {
    need = std::min(need, text.size());
    if (need == 0) return 0;
    const size_t br = text.find_first_of("\r\n", need - 1);
    if (br == std::string_view::npos) return need;
    const size_t end =
        text[br] == '\r' && br + 1 < text.size() && text[br + 1] == '\n' ? br + 2 : br + 1;
    return end == text.size() && more == 0 ? need : end;
}

} // namespace

void OutputBuffer::Append(std::string_view text) {
    m_text.append(text);
    if (m_text.size() < kLimit) return;
    // Normally the front goes by the appended length plus kCut; a piece as long as the limit
    // would take all the earlier text and still leave the buffer over it, so the buffer then
    // keeps the last (kLimit - kCut) characters.
    const size_t before = m_text.size() - text.size();
    const size_t need =
        std::max(std::min(before, text.size() + kCut), m_text.size() - (kLimit - kCut));
    const size_t cut = WholeLinesCut(m_text, need, 0);
    m_text.erase(0, cut);
    m_dropped += cut;
    m_truncated = true;
}

std::string OutputBuffer::Show() {
    // The buffer is the converted part `out` followed by the unconverted rest of m_text from
    // `r`; a cut drops the front of that whole, so it may reach into the rest. Building the
    // result in one pass keeps the walk linear however many line breaks it inserts.
    std::string out;
    out.reserve(m_text.size() + m_text.size() / 16);
    size_t r = 0;
    const size_t n = m_text.size();
    auto grew = [&] {
        if (out.size() + (n - r) <= kLimit) return;
        if (out.size() >= kCut) {
            const size_t cut = WholeLinesCut(out, kCut, n - r);
            out.erase(0, cut);
            m_dropped += cut;
        } else {
            const std::string_view rest = std::string_view(m_text).substr(r);
            const size_t cut = WholeLinesCut(rest, kCut - out.size(), 0);
            r += cut;
            m_dropped += out.size() + cut;
            out.clear();
        }
        m_truncated = true;
    };
    while (r < n) {
        const char c = m_text[r];
        if (c == '\r' && r + 1 < n && m_text[r + 1] == '\n') {
            out += "\r\n";
            r += 2;
        } else if (c == '\r' || c == '\n') {
            out += "\r\n";
            r += 1;
            grew();
        } else {
            out += c;
            r += 1;
        }
    }
    m_text = std::move(out);
    m_truncated = false;
    m_lastDropped = std::min(m_dropped, m_shownSize);
    m_shownSize = m_text.size();
    m_dropped = 0;
    return m_text;
}

int32_t OutputBuffer::Column() const {
    const size_t i = m_text.find_last_of("\r\n");
    const auto length = static_cast<int32_t>(std::min<size_t>(m_text.size(), INT32_MAX));
    if (i == std::string::npos) return length - 1;
    return length - static_cast<int32_t>(i) - 1;
}

} // namespace tivane
