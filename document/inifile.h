#pragma once
// A small INI reader and writer for template and layout files: "[Section]" headers, then
// "key=value" lines; ';' starts a comment line. Section and key names match without regard
// to (ASCII) case, and the first matching section, and in it the first matching key, wins.
// Writing edits the loaded lines in place, so comments, order and unknown lines survive.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tivane {

class IniFile {
public:
    // An empty file; SetString and Save create its content.
    IniFile() = default;

    // The file's lines, or nothing when it cannot be read. Lines may end with LF or CR LF;
    // Save writes the ending the file used.
    static std::optional<IniFile> Load(const std::string& path);
    static IniFile FromText(std::string_view text);

    // The value after the first '=' with surrounding blanks removed, or `def` when the section
    // or key is missing; either way cut to at most `maxLength` characters.
    std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                          size_t maxLength) const;

    // GetString read as a decimal integer from its start: optional sign, then digits. A value
    // that does not start that way reads as 0. Digits beyond 32 bits wrap, as the value keeps
    // only its low 32 bits.
    int32_t GetInt(std::string_view section, std::string_view key, std::string_view def,
                   size_t maxLength) const;

    // Replaces the value of the first matching key, keeping the key's spelling. A missing key
    // is added after the last non-blank line of its section, a missing section at the end.
    // The value is written on one line: line breaks in it become blanks.
    void SetString(std::string_view section, std::string_view key, std::string_view value);

    bool HasSection(std::string_view section) const { return FindSection(section).has_value(); }

    // The whole file as Save writes it.
    std::string Text() const;
    bool Save(const std::string& path) const;

private:
    std::optional<size_t> FindSection(std::string_view section) const;
    // The line after the section's last line: the next header, or the end of the file.
    size_t SectionEnd(size_t header) const;
    std::optional<size_t> FindKey(size_t header, std::string_view key) const;

    std::vector<std::string> m_lines; // without their line endings
    std::string m_lineEnd = "\n";
};

} // namespace tivane
