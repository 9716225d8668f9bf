// Replays the corpora of the contents-file and layout fuzzers, so that every input they ever
// kept keeps loading without a crash, a sanitizer report or a broken invariant.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>

#include "cellpool.h"
#include "drawlist.h"
#include "filefuzz.h"
#include "graphmodel.h"
#include "inifile.h"

namespace {

const std::filesystem::path kFuzzDir = std::filesystem::path(TIVANE_SOURCE_DIR) / "tests/fuzz";

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Corpus {
    const char* folder;
    void (*run)(const uint8_t*, size_t);
    size_t atLeast; // fewer files than this means the corpus went missing
};

void PrintTo(const Corpus& corpus, std::ostream* out) {
    *out << corpus.folder;
}

class FileFuzzCorpus : public testing::TestWithParam<Corpus> {};

TEST_P(FileFuzzCorpus, EveryInputLoadsWithItsInvariants) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kFuzzDir / GetParam().folder)) {
        const std::string bytes = ReadBytes(entry.path());
        SCOPED_TRACE(entry.path().filename().string());
        // The harness aborts, naming the invariant, when one breaks.
        GetParam().run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++count;
    }
    EXPECT_GE(count, GetParam().atLeast) << "the corpus is missing";
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileFuzzCorpus,
    testing::Values(Corpus{"drawlist_corpus", tivane::fuzz::RunDrawListInput, 50},
                    Corpus{"layout_corpus", tivane::fuzz::RunLayoutInput, 100}),
    [](const testing::TestParamInfo<Corpus>& info) { return std::string(info.param.folder); });

// The draw-list harness found this with drawlist_findings/clear-keeps-storage (an empty
// picture) moved into a model that held the defaults: Clear emptied the arrays but kept their
// storage while giving its bytes back to the memory budget, so a view's Clear All left
// HasStorage() true (the next run skipped the default attributes, CTivaneGraph::StartView)
// and the next 4096 items took no budget at all.
TEST(FileFuzzFindings, DrawListClearFreesTheStorageAndItsBudget) {
    std::optional<tivane::DrawList> loaded =
        tivane::DrawList::Parse(ReadBytes(kFuzzDir / "drawlist_findings/clear-keeps-storage"));
    ASSERT_TRUE(loaded.has_value());
    tivane::GraphModel model;
    ASSERT_TRUE(model.RecordDefaults());
    model.Load(std::move(*loaded));
    EXPECT_FALSE(loaded->HasStorage()) << "the model's old storage went to the moved-from list";

    ASSERT_TRUE(model.LineTo(100, 100));
    model.ResetContents();
    EXPECT_FALSE(model.List().HasStorage()) << "Clear kept the storage";
    const size_t cleared = tivane::Pool().BytesUsed();
    ASSERT_TRUE(model.LineTo(200, 200));
    EXPECT_GT(tivane::Pool().BytesUsed(), cleared) << "an item after Clear took no budget";
}

// The layout harness found this with layout_findings/unchanged-save-drops-cr: in a file whose
// lines end with LF, a line that kept a CR at its end after reading was written back as
// "...\r\n", which the next read took for a CR LF ending. Saving an unchanged layout then
// changed the values a document reads from it, and could make an unmatched header match.
TEST(FileFuzzFindings, UnchangedLayoutReadsTheSameAfterSaving) {
    struct Row {
        std::string text;
        std::string section, key;
    };
    const Row rows[] = {
        {ReadBytes(kFuzzDir / "layout_findings/unchanged-save-drops-cr"), "Description",
         "TemplateFile"},
        {ReadBytes(kFuzzDir / "layout_findings/unchanged-save-drops-cr-as-found"), "Description",
         "TemplateFile"},
        {"[Description]\nTemplateFile=model.tml\r\r\n", "Description", "TemplateFile"},
        {"; layout\n[Description\r\r\nNoOfWindows=3\n", "Description", "NoOfWindows"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const tivane::IniFile loaded = tivane::IniFile::FromText(row.text);
        const tivane::IniFile saved = tivane::IniFile::FromText(loaded.Text());
        EXPECT_EQ(loaded.GetString(row.section, row.key, "<none>", 1000),
                  saved.GetString(row.section, row.key, "<none>", 1000));
    }
}

} // namespace
