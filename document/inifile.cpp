#include "inifile.h"

#include "atomicfile.h"
#include "filesearch.h"

namespace tivane {

namespace {

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// The name of a "[name]" header line; a header without its closing bracket runs to the end.
std::optional<std::string_view> HeaderName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    return Trim(line.substr(0, line.find(']')));
}

// The key of a "key=value" line; headers, comments and lines without '=' have none.
std::optional<std::string_view> KeyName(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
    const size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(trimmed.substr(0, eq));
}

bool IsBlank(std::string_view line) {
    return Trim(line).empty();
}

} // namespace

std::optional<IniFile> IniFile::Load(const std::string& path) {
    std::optional<std::string> text = ReadWholeFile(path);
    if (!text) return std::nullopt;
    return FromText(*text);
}

IniFile IniFile::FromText(std::string_view text) {
    IniFile ini;
    bool endingSeen = false;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        const bool crlf = nl != std::string_view::npos && !line.empty() && line.back() == '\r';
        // Every CR at a line's end belongs to its ending (CR CR LF, a lone CR before the end
        // of the file): kept in the line, it would read otherwise once the file is saved.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (nl != std::string_view::npos && !endingSeen) {
            ini.m_lineEnd = crlf ? "\r\n" : "\n";
            endingSeen = true;
        }
        ini.m_lines.emplace_back(line);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    }
    return ini;
}

std::optional<size_t> IniFile::FindSection(std::string_view section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const std::optional<std::string_view> name = HeaderName(m_lines[i]);
        if (name && EqualIgnoringCase(*name, section)) return i;
    }
    return std::nullopt;
}

size_t IniFile::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < m_lines.size() && !HeaderName(m_lines[i]))
        ++i;
    return i;
}

std::optional<size_t> IniFile::FindKey(size_t header, std::string_view key) const {
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        const std::optional<std::string_view> name = KeyName(m_lines[i]);
        if (name && EqualIgnoringCase(*name, key)) return i;
    }
    return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view def,
                               size_t maxLength) const {
    std::string_view value = def;
    if (const std::optional<size_t> header = FindSection(section)) {
        if (const std::optional<size_t> line = FindKey(*header, key)) {
            const std::string_view text = m_lines[*line];
            value = Trim(text.substr(text.find('=') + 1));
        }
    }
    return std::string(value.substr(0, maxLength));
}

int32_t IniFile::GetInt(std::string_view section, std::string_view key, std::string_view def,
                        size_t maxLength) const {
    const std::string text = GetString(section, key, def, maxLength);
    size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    // Unsigned arithmetic wraps instead of overflowing, and only the low 32 bits are kept.
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    if (negative) magnitude = 0 - magnitude;
    return static_cast<int32_t>(static_cast<uint32_t>(magnitude));
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    std::string oneLine(value);
    for (char& c : oneLine) {
        if (c == '\r' || c == '\n') c = ' ';
    }

    const std::optional<size_t> header = FindSection(section);
    if (!header) {
        m_lines.push_back("[" + std::string(section) + "]");
        m_lines.push_back(std::string(key) + "=" + oneLine);
        return;
    }
    if (const std::optional<size_t> line = FindKey(*header, key)) {
        std::string& text = m_lines[*line];
        text = std::string(*KeyName(text)) + "=" + oneLine;
        return;
    }
    // Blank lines that separate this section from the next stay after the new key.
    size_t at = SectionEnd(*header);
    while (at > *header + 1 && IsBlank(m_lines[at - 1]))
        --at;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at),
                   std::string(key) + "=" + oneLine);
}

std::string IniFile::Text() const {
    std::string text;
    for (const std::string& line : m_lines) {
        text += line;
        text += m_lineEnd;
    }
    return text;
}

bool IniFile::Save(const std::string& path) const {
    return WriteFileAtomically(path, Text()).Ok();
}

} // namespace tivane
