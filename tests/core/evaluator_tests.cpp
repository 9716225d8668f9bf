#include "testsupport.h"

namespace tivane::test {
namespace {

struct ValueCase {
    const char* text;
    const char* value;
};

class ValueTest : public LanguageTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ValueTest, ProgramYieldsValue) {
    EXPECT_EQ(Value(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Evaluator, ValueTest,
    ::testing::Values(ValueCase{"", "<NOT VALID>"}, ValueCase{"1;", "<NOT VALID>"},
                      ValueCase{"1;2", "2"}, ValueCase{"1+2.5", "3.5"},
                      ValueCase{"SIN(1)-sin(1.0)", "0"}, ValueCase{"a[5]", "<NOT VALID>"},
                      ValueCase{"a[-1]", "<NOT VALID>"}, ValueCase{"f(2)", "<NOT VALID>"},
                      ValueCase{"n:=7; f(n):={n*2}; f(3)", "6"},
                      ValueCase{"n:=7; f(n):={n*2}; f(3); n", "7"}));

} // namespace
} // namespace tivane::test
