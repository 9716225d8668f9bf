#pragma once
// Row tables for the built-in functions (program text in, value or error out) and a scratch
// directory for the tests that read and write real files.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "core/testsupport.h"

namespace tivane::test {

// A program that succeeds with `value` (as FormatValue shows it) of type `type`. The value
// "nan" stands for any NaN, whose sign the C library prints as it likes.
struct ValueRow {
    const char* text;
    const char* value;
    uint16_t type;
};

// A program whose run (or compile) fails with `code`.
struct ErrorRow {
    const char* text;
    uint32_t code;
};

inline void PrintTo(const ValueRow& r, std::ostream* os) {
    *os << r.text;
}
inline void PrintTo(const ErrorRow& r, std::ostream* os) {
    *os << r.text;
}

inline void ExpectValue(const Outcome& o, const ValueRow& r) {
    ASSERT_TRUE(o.ok) << r.text << " failed with " << o.error << ": " << o.report;
    if (std::string(r.value) == "nan")
        EXPECT_NE(o.value.find("nan"), std::string::npos) << r.text << " gave " << o.value;
    else
        EXPECT_EQ(o.value, r.value) << r.text;
    EXPECT_EQ(o.type, r.type) << r.text;
}

inline void ExpectError(const Outcome& o, const ErrorRow& r) {
    EXPECT_FALSE(o.ok) << r.text << " gave " << o.value;
    EXPECT_EQ(o.error, r.code) << r.text;
}

// A fresh directory per test, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tivane-builtins-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data())) m_path = made;
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(*this / name, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(*this / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Program text with every "@" replaced by the directory, so that a row can name its files
    // as "@/data.bin".
    std::string In(const std::string& text) const {
        std::string out;
        for (char c : text) {
            if (c == '@')
                out += m_path;
            else
                out += c;
        }
        return out;
    }

private:
    std::string m_path;
};

} // namespace tivane::test
