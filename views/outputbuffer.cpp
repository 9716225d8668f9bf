#include "outputbuffer.h"

#include <algorithm>

#include "builtintable.h"

namespace tivane {

void OutputBuffer::Append(std::string_view text) {
    if (m_text.size() + text.size() >= kLimit) {
        m_text.erase(0, std::min(m_text.size(), text.size() + kCut));
        m_truncated = true;
    }
    m_text.append(text);
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
            out.erase(0, kCut);
        } else {
            r += kCut - out.size();
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
    std::string shown;
    const size_t lf = m_truncated ? m_text.find('\n') : std::string::npos;
    shown = lf == std::string::npos ? m_text : m_text.substr(lf + 1);
    m_truncated = false;
    return shown;
}

int32_t OutputBuffer::Column() const {
    const size_t i = m_text.find_last_of("\r\n");
    const auto length = static_cast<int32_t>(std::min<size_t>(m_text.size(), INT32_MAX));
    if (i == std::string::npos) return length - 1;
    return length - static_cast<int32_t>(i) - 1;
}

int32_t HelpTopicAt(std::string_view line, int32_t column) {
    constexpr int32_t kMaxColumn = 480;
    if (column >= kMaxColumn || column < 0) return kHelpNoTopic;
    line = line.substr(0, 500);
    auto isLetter = [&](int32_t k) {
        if (k < 0 || k >= static_cast<int32_t>(line.size())) return false;
        const char c = line[static_cast<size_t>(k)];
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    int32_t k = column;
    if (!isLetter(k) && k > 0) --k;
    if (!isLetter(k)) return kHelpNoTopic;
    int32_t from = k, to = k + 1;
    while (isLetter(from - 1))
        --from;
    while (isLetter(to))
        ++to;
    const int32_t named =
        FindBuiltin(line.substr(static_cast<size_t>(from), static_cast<size_t>(to - from)));
    return named < 0 ? kHelpNoTopic : kHelpBuiltinBase + kFirstNamedRow + named;
}

} // namespace tivane
