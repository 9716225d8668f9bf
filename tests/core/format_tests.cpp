// Formatting values with and without a user format, and listing programs back as text.

#include <string>

#include "testsupport.h"

namespace tivane::test {
namespace {

struct FormatCase {
    const char* value;  // program text whose result is formatted
    const char* format; // nullptr: the default form
    const char* text;   // the expected text when `code` is 0
    uint32_t code;
};

class FormatValueTest : public LanguageTest, public ::testing::WithParamInterface<FormatCase> {
protected:
    // The text, or "error N".
    std::string Format(const char* valueText, const char* format) {
        const CellIndex program = Compile(*main, valueText);
        EXPECT_NE(program, kNoCell) << valueText;
        if (program == kNoCell) return {};
        const CellIndex value = tivane::Run(*main, program);
        Release(program);
        EXPECT_NE(value, kNoCell) << valueText;
        if (value == kNoCell) return {};
        const std::string_view f = format ? format : "";
        std::string out;
        const bool ok = FormatValue(*main, value, format ? &f : nullptr, out);
        Release(value);
        return ok ? out : "error " + std::to_string(doc.errorCode);
    }
};

TEST_P(FormatValueTest, Formats) {
    const FormatCase& c = GetParam();
    const std::string expected = c.code ? "error " + std::to_string(c.code) : c.text;
    EXPECT_EQ(Format(c.value, c.format), expected)
        << c.value << " with " << (c.format ? c.format : "no format");
}

INSTANTIATE_TEST_SUITE_P(
    Format, FormatValueTest,
    ::testing::Values(
        FormatCase{"7", "%5ld", "    7", 0}, FormatCase{"42", "%05ld", "00042", 0},
        FormatCase{"7", "%5.2ld", "   07", 0}, FormatCase{"7", "%ld%%", "7%", 0},
        FormatCase{"-1", "%ld", "-1", 0}, FormatCase{"-1", "%lx", "ffffffff", 0},
        FormatCase{"255", "%lx", "ff", 0}, FormatCase{"-2147483648", "%ld", "-2147483648", 0},
        FormatCase{"-2147483648", "%lx", "80000000", 0}, FormatCase{"1.5", "%lg", "1.5", 0},
        FormatCase{"1.5", "%8.3lf", "   1.500", 0}, FormatCase{"1.5", "%le", "1.500000e+00", 0},
        FormatCase{"\"ab\"", "[%s]", "[ab]", 0}, FormatCase{"\"ab\"", "100%% %s", "100% ab", 0},
        FormatCase{"\"ab\"", "%5s", "   ab", 0},
        // Default forms.
        FormatCase{"7", nullptr, "7", 0}, FormatCase{"1.5", nullptr, "1.5", 0},
        FormatCase{"1e20", nullptr, "1e+20", 0}, FormatCase{"\"ab\"", nullptr, "\"ab\"", 0},
        FormatCase{"a", nullptr, "<NOT VALID>", 0}, FormatCase{"{1+2}", nullptr, "{1+2}", 0},
        // 22: more than one conversion.
        FormatCase{"7", "%ld %ld", nullptr, 22}, FormatCase{"7", "%ld%s", nullptr, 22},
        // 23: no conversion, an unknown one, or one of another type.
        FormatCase{"7", "abc", nullptr, 23}, FormatCase{"7", "%%ld", nullptr, 23},
        FormatCase{"7", "%d", nullptr, 23}, FormatCase{"7", "%", nullptr, 23},
        FormatCase{"7", "%l", nullptr, 23}, FormatCase{"7", "%ls", nullptr, 23},
        FormatCase{"7", "%-5ld", nullptr, 23}, FormatCase{"7", "%+ld", nullptr, 23},
        FormatCase{"7", "%.2ld", nullptr, 23}, FormatCase{"7", "%lg", nullptr, 23},
        FormatCase{"7", "%s", nullptr, 23}, FormatCase{"1.5", "%.3lg", nullptr, 23},
        FormatCase{"1.5", "%ld", nullptr, 23}, FormatCase{"\"ab\"", "%ld", nullptr, 23},
        FormatCase{"a", "%s", nullptr, 23}, FormatCase{"a", "%ld", nullptr, 23},
        FormatCase{"{1}", "%s", nullptr, 23}));

TEST_F(LanguageTest, CheckFormatGivesTypeAndSize) {
    const struct {
        const char* format;
        uint16_t type;
        size_t size;
    } rows[] = {{"%5ld", TYPE_LONG, 35},
                {"ab%lg", TYPE_DOUBLE, 42},
                {"%10.3lf", TYPE_DOUBLE, 53},
                {"[%s]", TYPE_STRING, 2},
                {"100%%", 0, 3},
                {"", 0, 0}};
    for (const auto& r : rows) {
        FormatInfo info;
        ASSERT_TRUE(CheckFormat(*main, r.format, info)) << r.format;
        EXPECT_EQ(info.type, r.type) << r.format;
        EXPECT_EQ(info.size, r.size) << r.format;
    }
}

TEST_F(LanguageTest, FormattedTextIsAsLongAsNeeded) {
    const CellIndex seven = Compile(*main, "7");
    const CellIndex huge = Compile(*main, "1e300");
    ASSERT_NE(seven, kNoCell);
    ASSERT_NE(huge, kNoCell);
    const CellIndex s = tivane::Run(*main, seven);
    const CellIndex h = tivane::Run(*main, huge);
    std::string out;

    std::string_view f = "%999999ld";
    ASSERT_TRUE(FormatValue(*main, s, &f, out));
    EXPECT_EQ(out.size(), 999999u);
    EXPECT_EQ(out.back(), '7');
    EXPECT_EQ(out.find_first_not_of(' '), 999998u);

    f = "%lf"; // longer than the size the format promises
    ASSERT_TRUE(FormatValue(*main, h, &f, out));
    EXPECT_EQ(out.size(), 308u);
    EXPECT_EQ(out.substr(301), ".000000");

    f = "%16777217ld"; // beyond the longest string: refused, not attempted
    EXPECT_FALSE(FormatValue(*main, s, &f, out));
    EXPECT_EQ(doc.errorCode, 3u);
    f = "%99999999999999999999ld";
    EXPECT_FALSE(FormatValue(*main, s, &f, out));
    EXPECT_EQ(doc.errorCode, 3u);

    Release(s);
    Release(h);
    Release(seven);
    Release(huge);
}

struct ListingCase {
    const char* text;
    const char* listing;
};

class ListProgramTest : public LanguageTest, public ::testing::WithParamInterface<ListingCase> {
protected:
    std::string List(const std::string& text) {
        const CellIndex program = Compile(*main, text);
        EXPECT_NE(program, kNoCell) << text;
        if (program == kNoCell) return {};
        std::string out;
        EXPECT_TRUE(ListProgram(*main, program, 0, out));
        Release(program);
        return out;
    }
};

TEST_P(ListProgramTest, ListsWithNeededParenthesesOnly) {
    EXPECT_EQ(List(GetParam().text), GetParam().listing);
}

// The listing is program text again: compiled, it lists the same.
TEST_P(ListProgramTest, ListingCompilesToTheSameListing) {
    const std::string listing = GetParam().listing;
    EXPECT_EQ(List(listing.substr(1, listing.size() - 2)), listing);
}

INSTANTIATE_TEST_SUITE_P(
    Listing, ListProgramTest,
    ::testing::Values(ListingCase{"A := (B+E)*2; x[i] := -(a-1); f(p,q) := {p/(q*2)}; SIN(x)",
                                  "{a:=(b+e)*2;x[i]:=-(a-1);f(p,q):={p/(q*2)};sin(x)}"},
                      ListingCase{"a - (b - c)", "{a-(b-c)}"},
                      ListingCase{"(a - b) - c", "{a-b-c}"}, ListingCase{"a*(b+c)", "{a*(b+c)}"},
                      ListingCase{"(a*b)+c", "{a*b+c}"}, ListingCase{"a/(b/c)", "{a/(b/c)}"},
                      ListingCase{"a/b/c", "{a/b/c}"}, ListingCase{"a*(b*c)", "{a*b*c}"},
                      ListingCase{"a+(b+c)", "{a+b+c}"}, ListingCase{"-(-a)", "{-(-a)}"},
                      ListingCase{"- -a", "{-(-a)}"}, ListingCase{"-a*b", "{-a*b}"},
                      ListingCase{"-(a*b)", "{-(a*b)}"}, ListingCase{"a:=b:=1", "{a:=b:=1}"},
                      ListingCase{"a:=(b:=1)", "{a:=(b:=1)}"},
                      ListingCase{"(1<2)&&(3>2)", "{1<2&&3>2}"},
                      ListingCase{"(a||b)&&c", "{a||b&&c}"},
                      ListingCase{"x[a+1]:=y[2]", "{x[a+1]:=y[2]}"},
                      ListingCase{"max(a, b+1)", "{max(a,b+1)}"}, ListingCase{"((a))", "{a}"},
                      ListingCase{"\"A b\"+2.50", "{\"A b\"+2.5}"}, ListingCase{"1e20", "{1e+20}"},
                      ListingCase{"1;2;", "{1;2;}"}, ListingCase{"a:={}", "{a:={}}"},
                      ListingCase{"g(h(1),2)", "{g(h(1),2)}"}, ListingCase{"", "{}"}));

TEST_F(LanguageTest, ListingMarksOneItem) {
    const CellIndex program = Compile(*main, "a:=b+c*2");
    ASSERT_NE(program, kNoCell);
    const struct {
        int32_t position;
        const char* listing;
        size_t offset;
    } rows[] = {{1, "{a\xFF:=b+c*2}", 2},
                {5,
                 "{a:=b+c*\xFF"
                 "2}",
                 8},
                {7,
                 "{a:=\xFF"
                 "b+c*2}",
                 4},
                {0, "{a:=b+c*2}", std::string::npos}};
    for (const auto& r : rows) {
        std::string out;
        size_t offset = 0;
        ASSERT_TRUE(ListProgram(*main, program, r.position, out, &offset));
        EXPECT_EQ(out, r.listing) << r.position;
        EXPECT_EQ(offset, r.offset) << r.position;
    }
    Release(program);
}

} // namespace
} // namespace tivane::test
