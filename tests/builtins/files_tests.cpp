// File functions and SAVEVALUE on a real file: what each call yields and the file's exact
// bytes afterwards.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "builtins/builtinsupport.h"

namespace tivane::test {
namespace {

using namespace std::literals;

struct FileRow {
    const char* mode;    // f := OPENFILE(the file, mode) runs first
    std::string content; // the file before the run
    const char* call;    // "@" stands for the file's name
    const char* shows;
    std::optional<std::string> after = std::nullopt; // the file after f is closed; unset: as before
};

class FileTest : public LanguageTest, public ::testing::WithParamInterface<FileRow> {
protected:
    void SetUp() override {
        LanguageTest::SetUp();
        close(mkstemp(path.data()));
    }
    void TearDown() override {
        std::remove(path.c_str());
        LanguageTest::TearDown();
    }
    std::string path = (std::filesystem::temp_directory_path() / "tivane-file-XXXXXX").string();
};

TEST_P(FileTest, ShowsAndLeavesBytes) {
    const FileRow& r = GetParam();
    std::ofstream(path, std::ios::binary) << r.content;
    std::string text = "f := OPENFILE(\"@\", \"" + std::string(r.mode) + "\"); " + r.call;
    for (size_t at; (at = text.find('@')) != std::string::npos;)
        text.replace(at, 1, path);
    EXPECT_EQ(Shown(Evaluate(*main, text)), r.shows) << r.call;
    Evaluate(*main, "CLOSEFILE(f)");
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), r.after.value_or(r.content));
}

const std::string kLongLine = std::string(1200, 'x') + "\nyz";

// Integers go out as 1 big-endian or 0 little-endian; at the end of the file every missing
// byte reads as 0xFF.
const FileRow kBinary[] = {{"wb", "", "WRITESHORT(f, 258, 1)", "-1", "\x01\x02"s},
                           {"wb", "", "WRITELONG(f, -2, 0)", "-1", "\xFE\xFF\xFF\xFF"s},
                           {"wb", "", "WRITEFLOAT(f, -2.5)", "-1", "\0\0\0\0\0\0\x04\xC0"s},
                           {"wb", "", "WRITETEXT(f, \"ab\nc\")", "-1", "ab\nc"},
                           {"rb", "\xFF\xFE"s, "READSHORT(f, 1)", "-2"},
                           {"rb", "", "READSHORT(f, 1)", "-257"},
                           {"rb", "\0\0\0\0\0\0\x04\xC0"s, "READFLOAT(f)", "double -2.5"},
                           {"rb", "\0\0\0\0\0\0\xF0"s, "READFLOAT(f)", "<NOT VALID>"},
                           {"rb", "\0"s, "READCHAR(f)", "\"\""},
                           {"rb", "abcdef", "FSEEK(f, -1, 2); READCHAR(f)", "\"f\""},
                           // A stream that refuses a write yields 0.
                           {"rb", "abc", "WRITECHAR(f, \"a\")", "0"}};

const FileRow kText[] = {{"r", "one\ntwo\n", "READTEXT(f); READTEXT(f)", "\"two\n\""},
                         {"r", "abc", "a := READTEXT(f); a + \"|\" + READTEXT(f)", "\"abc|\""},
                         {"r", kLongLine, "STRLEN(READTEXT(f))", "1201"},
                         {"r", "", "READTEXT(OPENFILE(\"/dev/zero\", \"r\"))", "error 3"},
                         // FPRINT writes the value's text and yields the value.
                         {"w", "", "FPRINT(f, \"abc\")", "\"abc\"", "\"abc\""},
                         // A stream closed through another copy of its value.
                         {"r+b", "abc", "g := f; CLOSEFILE(g); READCHAR(f)", "error 10"},
                         // clang-format off
                         {"r", "x", "i := 0; WHILE({i < 5000}, {OPENFILE(\"@\", \"r\"); i := i + 1}); VALID(OPENFILE(\"@\", \"r\"))", "-8"}};
// clang-format on

// SAVEVALUE writes program text that defines the object again; it skips the open file f and
// NOT VALID values.
const FileRow kSaveValue[] = {
    {"w", "", "x := 2.0; SAVEVALUE(f, \"x\")", "<NOT VALID>", "x:=2;\n"},
    {"w", "", "x := 3.14159265; SAVEVALUE(f, \"X\")", "<NOT VALID>", "x:=3.14159;\n"},
    {"w", "", "g(a, b) := {a - b}; SAVEVALUE(f, \"g(0,0)\")", "<NOT VALID>", "g(a,b):={a-b}\n"},
    // clang-format off
    {"w", "", "s := \"t\"; n := POP(0); a[1] := 5; a[3] := 2.5; g(q) := {q}; SAVEVALUE(f, \"\")", "<NOT VALID>", "s:=\"t\";\na[1]:=5;\na[3]:=2.5;\ng(q):={q}\n"}};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Binary, FileTest, ::testing::ValuesIn(kBinary));
INSTANTIATE_TEST_SUITE_P(Text, FileTest, ::testing::ValuesIn(kText));
INSTANTIATE_TEST_SUITE_P(SaveValue, FileTest, ::testing::ValuesIn(kSaveValue));

} // namespace
} // namespace tivane::test
