// Replays the fuzzer's corpus, so that every input it ever kept keeps working.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"

namespace {

TEST(FuzzCorpus, EveryInputRunsAndGivesBackItsCells) {
    const std::filesystem::path dir =
        std::filesystem::path(TIVANE_SOURCE_DIR) / "tests/fuzz/corpus";
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        // The harness aborts on a leak; a crash or sanitizer report fails the test run.
        tivane::fuzz::RunInput(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        ++count;
    }
    EXPECT_GT(count, 50u) << "the corpus is missing";
}

} // namespace
