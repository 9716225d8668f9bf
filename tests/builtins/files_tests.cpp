// File functions on real files in a scratch directory: the exact bytes written, what reads
// give (also at the end of the file), positioning, and streams that are closed or refuse.

#include <string>
#include <string_view>

#include "builtins/builtinsupport.h"

namespace tivane::test {
namespace {

using namespace std::literals;

constexpr uint16_t L = TYPE_LONG;
constexpr uint16_t D = TYPE_DOUBLE;
constexpr uint16_t S = TYPE_STRING;
constexpr uint16_t NV = TYPE_NOTVALID;

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

class FileTest : public LanguageTest {
protected:
    TempDir dir;
};

struct WriteRow {
    const char* call; // writes to f, opened "wb"
    const char* result;
    std::string_view bytes;
};

void PrintTo(const WriteRow& r, std::ostream* os) {
    *os << r.call;
}

class FileWriteTest : public FileTest, public ::testing::WithParamInterface<WriteRow> {};

TEST_P(FileWriteTest, WritesExactly) {
    const WriteRow& r = GetParam();
    const Outcome o =
        Eval(dir.In("f := OPENFILE(\"@/out.bin\", \"wb\"); r := ") + r.call + "; CLOSEFILE(f); r");
    ASSERT_TRUE(o.ok) << r.call << ": " << o.report;
    EXPECT_EQ(o.value, r.result) << r.call;
    EXPECT_EQ(Hex(dir.Read("out.bin")), Hex(r.bytes)) << r.call;
}

INSTANTIATE_TEST_SUITE_P(
    Binary, FileWriteTest,
    ::testing::Values(WriteRow{"WRITESHORT(f, 258, 1)", "-1", "\x01\x02"sv},
                      WriteRow{"WRITESHORT(f, 258, 0)", "-1", "\x02\x01"sv},
                      WriteRow{"WRITESHORT(f, -2, 1)", "-1", "\xFF\xFE"sv},
                      WriteRow{"WRITESHORT(f, 65539, 5)", "-1", "\x00\x03"sv},
                      WriteRow{"WRITELONG(f, 1, 1)", "-1", "\0\0\0\x01"sv},
                      WriteRow{"WRITELONG(f, 1, 0)", "-1", "\x01\0\0\0"sv},
                      WriteRow{"WRITELONG(f, -2, 0)", "-1", "\xFE\xFF\xFF\xFF"sv},
                      WriteRow{"WRITELONG(f, -2147483648, 1)", "-1", "\x80\0\0\0"sv},
                      WriteRow{"WRITEFLOAT(f, 1)", "-1", "\0\0\0\0\0\0\xF0\x3F"sv},
                      WriteRow{"WRITEFLOAT(f, -2.5)", "-1", "\0\0\0\0\0\0\x04\xC0"sv},
                      WriteRow{"WRITECHAR(f, \"xy\")", "-1", "x"sv},
                      WriteRow{"WRITECHAR(f, \"\")", "-1", "\0"sv},
                      WriteRow{"WRITETEXT(f, \"ab\" + CHR(10))", "-1", "ab\n"sv},
                      WriteRow{"WRITETEXT(f, \"\")", "-1", ""sv}));

// FPRINT writes the value's text and yields the value.
INSTANTIATE_TEST_SUITE_P(
    FPrint, FileWriteTest,
    ::testing::Values(WriteRow{"FPRINT(f, \"abc\")", "\"abc\"", "\"abc\""sv},
                      WriteRow{"FPRINT(f, \"%s%n\")", "\"%s%n\"", "\"%s%n\""sv},
                      WriteRow{"FPRINT(f, 2.5)", "2.5", "2.5"sv},
                      WriteRow{"FPRINT(f, 3) + 1", "4", "3"sv},
                      WriteRow{"FPRINT(f, {1 + 2})", "{1+2}", "{1+2}"sv},
                      WriteRow{"FPRINT(f, POP(0))", "<NOT VALID>", "<NOT VALID>"sv},
                      WriteRow{"FPRINT(f, f)", "<FILE ID>", "<FILE ID>"sv}));

struct ReadRow {
    std::string_view content; // of the file that f reads, opened "rb"
    const char* expr;
    const char* value;
    uint16_t type;
};

void PrintTo(const ReadRow& r, std::ostream* os) {
    *os << r.expr << " on " << Hex(r.content);
}

class FileReadTest : public FileTest, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(FileReadTest, Reads) {
    const ReadRow& r = GetParam();
    dir.Write("in.bin", std::string(r.content));
    const Outcome o = Eval(dir.In(std::string("f := OPENFILE(\"@/in.bin\", \"rb\"); ") + r.expr));
    ExpectValue(o, ValueRow{r.expr, r.value, r.type});
}

// At the end of the file each missing byte counts as -1.
INSTANTIATE_TEST_SUITE_P(
    Integers, FileReadTest,
    ::testing::Values(ReadRow{"\xFF\xFE"sv, "READSHORT(f, 1)", "-2", L},
                      ReadRow{"\xFF\xFE"sv, "READSHORT(f, 0)", "-257", L},
                      ReadRow{"\x7F\xFF"sv, "READSHORT(f, 1)", "32767", L},
                      ReadRow{""sv, "READSHORT(f, 1)", "-257", L},
                      ReadRow{"\x01"sv, "READSHORT(f, 1)", "255", L},
                      ReadRow{"\x01"sv, "READSHORT(f, 0)", "-255", L},
                      ReadRow{"\x01\x02\x03\x04"sv, "READSHORT(f, 1); READSHORT(f, 1)", "772", L},
                      ReadRow{"\0\0\0\x01"sv, "READLONG(f, 1)", "1", L},
                      ReadRow{"\0\0\0\x01"sv, "READLONG(f, 0)", "16777216", L},
                      ReadRow{"\x80\0\0\0"sv, "READLONG(f, 1)", "-2147483648", L},
                      ReadRow{""sv, "READLONG(f, 0)", "-16843009", L},
                      ReadRow{"\x01\x02"sv, "READLONG(f, 1)", "16908031", L},
                      ReadRow{"\x01\x02"sv, "READLONG(f, 0)", "-16842239", L}));

INSTANTIATE_TEST_SUITE_P(
    Floats, FileReadTest,
    ::testing::Values(ReadRow{"\0\0\0\0\0\0\xF0\x3F"sv, "READFLOAT(f)", "1", D},
                      ReadRow{"\0\0\0\0\0\0\x04\xC0"sv, "READFLOAT(f)", "-2.5", D},
                      ReadRow{"\0\0\0\0\0\0\xF0"sv, "READFLOAT(f)", "<NOT VALID>", NV},
                      ReadRow{""sv, "READFLOAT(f)", "<NOT VALID>", NV}));

INSTANTIATE_TEST_SUITE_P(Characters, FileReadTest,
                         ::testing::Values(ReadRow{""sv, "ASC(READCHAR(f))", "-1", L},
                                           ReadRow{"\xFF"sv, "ASC(READCHAR(f))", "-1", L},
                                           ReadRow{"\0"sv, "READCHAR(f)", "\"\"", S},
                                           ReadRow{"ab"sv, "READCHAR(f) + READCHAR(f)", "\"ab\"",
                                                   S}));

INSTANTIATE_TEST_SUITE_P(
    Lines, FileReadTest,
    ::testing::Values(
        ReadRow{"abc\n"sv, "a := READTEXT(f); a + \"|\" + READTEXT(f)", "\"abc\n|\"", S},
        ReadRow{"abc\n"sv, "t := OPENFILE(\"@/in.bin\", \"r\"); READTEXT(t)", "\"abc\n\"", S},
        ReadRow{"abc"sv, "a := READTEXT(f); a + \"|\" + READTEXT(f)", "\"abc|\"", S},
        ReadRow{"one\ntwo\n"sv, "READTEXT(f); READTEXT(f)", "\"two\n\"", S},
        ReadRow{""sv, "READTEXT(f)", "\"\"", S}));

// Positions in "abcdef"; a successful FSEEK also clears the end of the file.
INSTANTIATE_TEST_SUITE_P(
    Seek, FileReadTest,
    ::testing::Values(ReadRow{"abcdef"sv, "FSEEK(f, 0, 2)", "0", L},
                      ReadRow{"abcdef"sv, "FSEEK(f, 0, 2); ASC(READCHAR(f))", "-1", L},
                      ReadRow{"abcdef"sv, "FSEEK(f, 2, 0); READCHAR(f)", "\"c\"", S},
                      ReadRow{"abcdef"sv, "READCHAR(f); FSEEK(f, 2, 1); READCHAR(f)", "\"d\"", S},
                      ReadRow{"abcdef"sv, "FSEEK(f, -1, 2); READCHAR(f)", "\"f\"", S},
                      ReadRow{"abcdef"sv, "FSEEK(f, 0, 7) != 0", "1", L},
                      ReadRow{"abcdef"sv, "FSEEK(f, -10, 0) != 0", "1", L},
                      ReadRow{"a"sv, "READCHAR(f); READCHAR(f); FSEEK(f, 0, 0); READCHAR(f)",
                              "\"a\"", S}));

// A line of any length comes back whole, its line break included.
class FileLongLineTest : public FileTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(FileLongLineTest, ReadsWholeLine) {
    const size_t n = GetParam();
    dir.Write("in.txt", std::string(n, 'x') + "\nyz");
    const std::string open = dir.In("f := OPENFILE(\"@/in.txt\", \"r\"); ");
    EXPECT_EQ(Value(open + "STRLEN(READTEXT(f))"), std::to_string(n + 1));
    EXPECT_EQ(Value(open + "READTEXT(f); READTEXT(f)"), "\"yz\"");
}

INSTANTIATE_TEST_SUITE_P(Lines, FileLongLineTest,
                         ::testing::Values(size_t{498}, size_t{499}, size_t{500}, size_t{998},
                                           size_t{1200}, size_t{40000}));

TEST_F(FileTest, ReadTextOfEndlessInputEndsWithNotEnoughMemory) {
    EXPECT_EQ(ErrorOf("f := OPENFILE(\"/dev/zero\", \"r\"); READTEXT(f)"), 3u);
}

TEST_F(FileTest, MissingFileIsNotValidAndCannotBeRead) {
    const std::string open = dir.In("f := OPENFILE(\"@/missing.dat\", \"r\"); ");
    EXPECT_EQ(Value(open + "VALID(f)"), "0");
    EXPECT_EQ(ErrorOf(open + "READCHAR(f)"), 10u);
}

TEST_F(FileTest, ClosingWritesPendingOutput) {
    EXPECT_EQ(Value(dir.In("f := OPENFILE(\"@/o.txt\", \"w\"); WRITETEXT(f, \"hi\"); "
                           "CLOSEFILE(f)")),
              "<NOT VALID>");
    EXPECT_EQ(dir.Read("o.txt"), "hi");
    // Mode "a" goes to the runtime unchanged and appends.
    ASSERT_TRUE(Eval(dir.In("f := OPENFILE(\"@/o.txt\", \"a\"); WRITETEXT(f, \"!\")")).ok);
    ASSERT_TRUE(Eval("f := 0").ok); // the last reference goes: the stream is flushed
    EXPECT_EQ(dir.Read("o.txt"), "hi!");
}

TEST_F(FileTest, ManyFilesWhoseValuesAreDroppedDoNotRunOut) {
    dir.Write("in.txt", "x");
    EXPECT_EQ(Value(dir.In("i := 0; WHILE({i < 5000}, {OPENFILE(\"@/in.txt\", \"r\"); "
                           "i := i + 1}); VALID(OPENFILE(\"@/in.txt\", \"r\"))")),
              "-8");
}

// Every use of a value whose stream was closed through another copy.
class FileClosedTest : public FileTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FileClosedTest, FailsWithInvalidType) {
    dir.Write("in.bin", "abcdefgh");
    const std::string text =
        dir.In("f := OPENFILE(\"@/in.bin\", \"r+b\"); g := f; CLOSEFILE(g); ") + GetParam();
    EXPECT_EQ(ErrorOf(text), 10u) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(AfterClose, FileClosedTest,
                         ::testing::Values("READCHAR(f)", "READTEXT(f)", "READSHORT(f, 0)",
                                           "READLONG(f, 0)", "READFLOAT(f)", "WRITECHAR(f, \"a\")",
                                           "WRITETEXT(f, \"a\")", "WRITESHORT(f, 1, 0)",
                                           "WRITELONG(f, 1, 0)", "WRITEFLOAT(f, 1)",
                                           "FSEEK(f, 0, 0)", "FPRINT(f, 1)", "SAVEVALUE(f, \"f\")",
                                           "CLOSEFILE(f)"));

// A stream that refuses: writes yield 0, and its error indicator then spoils every read.
class FileReadOnlyTest : public FileTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FileReadOnlyTest, WriteYieldsZero) {
    dir.Write("in.bin", "abc");
    const std::string open = dir.In("f := OPENFILE(\"@/in.bin\", \"rb\"); ");
    EXPECT_EQ(Value(open + GetParam()), "0") << GetParam();
    EXPECT_EQ(Value(open + GetParam() + "; VALID(READCHAR(f))"), "0") << GetParam();
    EXPECT_EQ(dir.Read("in.bin"), "abc");
}

INSTANTIATE_TEST_SUITE_P(Writes, FileReadOnlyTest,
                         ::testing::Values("WRITECHAR(f, \"a\")", "WRITETEXT(f, \"a\")",
                                           "WRITESHORT(f, 1, 0)", "WRITELONG(f, 1, 0)",
                                           "WRITEFLOAT(f, 1)"));

class FileWriteOnlyTest : public FileTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FileWriteOnlyTest, ReadIsNotValid) {
    const std::string open = dir.In("f := OPENFILE(\"@/out.bin\", \"wb\"); ");
    EXPECT_EQ(Value(open + "VALID(" + GetParam() + ")"), "0") << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Reads, FileWriteOnlyTest,
                         ::testing::Values("READCHAR(f)", "READTEXT(f)", "READSHORT(f, 0)",
                                           "READLONG(f, 1)", "READFLOAT(f)"));

} // namespace
} // namespace tivane::test
