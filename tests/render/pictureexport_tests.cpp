// The picture export: the BMP file against a golden file, the other formats by what a reader
// of them finds, and the Save Contents command with scripted answers and the files it leaves.

#include "pictureexport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include "document/fakeui.h"
#include "document/filesizelimit.h"
#include "replay.h"
#include "tivanedoc.h"
#include "tivanegraph.h"

namespace tivane {
namespace {

namespace fs = std::filesystem;
using testing::FakeUi;
using F = PictureFormat;

constexpr std::string_view kSaved = "The BMP file has been saved successfully.";
constexpr std::string_view kTooLarge =
    "Could not create the bitmap, use smaller width and height values.";
constexpr std::string_view kSeparate = "Separate the number by ','.";
constexpr std::string_view kInvalid = "You did not enter valid numbers.";
const QRgb kWhite = qRgb(255, 255, 255);

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file of tests/render/golden.
fs::path Golden(const char* name) {
    return fs::path(TIVANE_SOURCE_DIR) / "tests" / "render" / "golden" / name;
}

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (size_t i = 4; i-- > 0;)
        v = v << 8 | static_cast<uint8_t>(bytes.at(at + i));
    return v;
}

// Records the prompts too, so the order of the questions is checked.
class PromptUi : public FakeUi {
public:
    std::vector<std::string> prompts;
    std::optional<std::string> GetUserInput(std::string_view prompt,
                                            std::string_view initial) override {
        prompts.emplace_back(prompt);
        return FakeUi::GetUserInput(prompt, initial);
    }
};

class ExportTest : public ::testing::Test {
protected:
    // A red line along the top edge from the top-left corner and a black one across the middle
    // of a 600 x 400 clip window whose world has the same numbers.
    ExportTest() {
        view.ClearView();
        EXPECT_EQ(view.SetClipWindow(0, 0, 600, 400), 0u);
        view.SetWorldWindow(0, 0, 600, 400);
        view.SetForeColor(255, 0, 0);
        view.DrawMoveTo(0, 0);
        view.DrawLineTo(40, 0);
        view.SetForeColor(0, 0, 0);
        view.DrawMoveTo(0, 200);
        view.DrawLineTo(600, 200);
    }
    void AddText() {
        view.ChangeFont("DejaVu Sans", 12, 0);
        view.DrawMoveTo(100, 300);
        view.OutputText("Tivane 42");
    }
    std::string Path(const std::string& name) const {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }
    size_t FileCount() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir.path().toStdString()),
                                                 fs::directory_iterator()));
    }
    void Save(std::optional<std::string> size, std::optional<std::string> name) {
        ui.boxes.clear();
        ui.prompts.clear();
        ui.inputs = {std::move(size), std::move(name)};
        view.SaveContents();
        ui.inputs.clear();
    }
    bool Export(F format, const std::string& name, int w, int h, std::string& error) {
        return WritePicture(view.List(), view.Model().Clip(), w, h, format, Path(name), error);
    }
    std::string Write(F format, const std::string& name, int w, int h) {
        std::string error;
        EXPECT_TRUE(Export(format, name, w, h, error)) << error;
        return ReadFile(Path(name));
    }
    QImage Expected(int w, int h) const {
        return RenderPicture(view.List(), view.Model().Clip(), QSize(w, h));
    }

    QTemporaryDir dir;
    PromptUi ui;
    CTivaneDoc doc{ui, SearchContext{}};
    CTivaneGraph& view = doc.CreateGraphView(0);
};

// The golden file is a 3 x 2 white picture with a dark top-left and a grey bottom-right pixel:
// the headers of a 32-bit screen with its 20 system colours, then rows bottom-up as blue, green,
// red and a zero byte.
TEST(BmpTest, BytesAreThoseOfTheGoldenFileForAnyPixelFormat) {
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(0, 0, qRgb(10, 20, 30));
    picture.setPixel(2, 1, qRgb(40, 50, 60));
    const std::string golden = ReadFile(Golden("3x2.bmp"));
    ASSERT_EQ(golden.size(), 134u + 3 * 2 * 4) << Golden("3x2.bmp");
    EXPECT_EQ(BmpBytes(picture), golden);
    EXPECT_EQ(BmpBytes(picture.convertToFormat(QImage::Format_RGB888)), golden);
    EXPECT_EQ(BmpBytes(QImage()), "");
    // The size fields follow the dimensions up to the largest picture allowed.
    for (const auto& [w, h] : {std::pair{1, 1}, {640, 480}, {16384, 16384}}) {
        const std::string header = BmpHeader(w, h);
        EXPECT_EQ(Le32(header, 2), 134 + 4u * w * h);
        EXPECT_EQ(Le32(header, 34), 4u * w * h);
        EXPECT_EQ(std::pair(Le32(header, 18), Le32(header, 22)),
                  std::pair(uint32_t(w), uint32_t(h)));
    }
}

TEST(PictureExportTest, FormatComesFromTheNameEndingInAnyCase) {
    const std::pair<const char*, F> rows[] = {{"a.png A.PNG x/y.PnG", F::Png},
                                              {"b.svg b.SVG", F::Svg},
                                              {"c.pdf c.Pdf", F::Pdf},
                                              {"d.bmp e.jpg png f.png.bmp g.pngx noext", F::Bmp}};
    for (const auto& [names, format] : rows) {
        std::istringstream words(names);
        for (std::string name; words >> name;)
            EXPECT_EQ(FormatForName(name), format) << name;
    }
    EXPECT_EQ(FormatForName(""), F::Bmp);
}

// Bitmaps are the replayed picture, which keeps the clip window's aspect inside the size.
TEST_F(ExportTest, BmpAndPngHoldTheReplayedPicture) {
    for (const auto& [w, h] : {std::pair{600, 400}, {1200, 400}, {300, 400}}) {
        EXPECT_EQ(Write(F::Bmp, "p.bmp", w, h), BmpBytes(Expected(w, h))) << w << "x" << h;
    }
    Save("300,200", Path("P.PNG"));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{std::string(kSaved)});
    QImage png;
    ASSERT_TRUE(png.load(QString::fromStdString(Path("P.PNG")), "PNG"));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), Expected(300, 200));
}

TEST_F(ExportTest, SvgKeepsLinesAndTextAsVectorsAt96DotsAnInch) {
    AddText();
    // Twice as wide as the clip window: the right half is only the white background.
    const std::string svg = Write(F::Svg, "p.svg", 1200, 400);
    // 1200 pixels are 317.5 mm, and the 12-point font of a clip window shown 600 wide is 16 high.
    for (const char* part :
         {"<svg width=\"317.5mm\" height=\"105.833mm\"", "viewBox=\"0 0 1200 400\"",
          "font-family=\"DejaVu Sans\" font-size=\"16\"", "<polyline", ">Tivane 42</text>"})
        EXPECT_NE(svg.find(part), std::string::npos) << part;
    EXPECT_EQ(svg.find("<image"), std::string::npos);
    // Drawn back, it shows the lines where the bitmap has them, on white.
    QSvgRenderer renderer(QByteArray::fromStdString(svg));
    QImage shown(1200, 400, QImage::Format_RGB32);
    shown.fill(Qt::black);
    QPainter painter(&shown);
    renderer.render(&painter);
    painter.end();
    EXPECT_TRUE(qRed(shown.pixel(20, 0)) == 255 && qGreen(shown.pixel(20, 0)) < 128);
    EXPECT_LT(qRed(shown.pixel(300, 200)), 128);
    EXPECT_EQ(shown.pixel(300, 100), kWhite);
    EXPECT_EQ(shown.pixel(900, 200), kWhite);
}

// The page contents: every zlib stream of the file inflated and joined (qUncompress wants a
// big-endian size hint before the data, and grows past it).
QByteArray PdfStreams(const QByteArray& pdf) {
    QByteArray all;
    for (qsizetype at = pdf.indexOf("stream\n"), end; at >= 0; at = pdf.indexOf("stream\n", end)) {
        if ((end = pdf.indexOf("endstream", at += 7)) < 0) break;
        if (pdf.at(at) == '\x78')
            all += qUncompress(QByteArray("\0\1\0\0", 4) + pdf.mid(at, end - at));
    }
    return all;
}

TEST_F(ExportTest, PdfPageIsThePictureAt96DotsAnInch) {
    AddText();
    struct Row {
        int w, h;
        const char *box, *font, *line; // the page in points (3/4 of the size); font and line scaled
    };
    for (const Row& r : {Row{640, 480, "/MediaBox [0 0 480", " 17 Tf", "0 213 m\n640 213 l"},
                         Row{600, 400, "/MediaBox [0 0 450", " 16 Tf", "0 200 m\n600 200 l"}}) {
        const std::string pdf = Write(F::Pdf, "p.pdf", r.w, r.h);
        EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
        for (const char* part : {r.box, "/Type /Font", "/Count 1", "%%EOF"})
            EXPECT_NE(pdf.find(part), std::string::npos) << part;
        // A device unit is 3/4 of a point; lines and the font have their sizes in the bitmap.
        const QByteArray contents = PdfStreams(QByteArray::fromStdString(pdf));
        EXPECT_TRUE(QString::fromLatin1(contents).contains(
            QRegularExpression("\\b0\\.750* 0 0 -0\\.750* 0 \\S+ cm")));
        EXPECT_TRUE(contents.contains(r.font) && contents.contains(r.line)) << r.w;
    }
}

TEST_F(ExportTest, SizeAnswersOfSaveContents) {
    struct Row { // the name is made to point into the folder; no message "", no file w = 0
        std::optional<std::string> size, name;
        std::string_view message;
        int w, h, asked;
    };
    const std::optional<std::string> cancel;
    const Row rows[] = {
        {"640x480", "out.bmp", kSeparate, 0, 0, 2},
        {cancel, "out.bmp", "", 0, 0, 1},
        {"", "out.bmp", "", 0, 0, 1},
        {"640,480", cancel, "", 0, 0, 2},
        {"640,480", "", "", 0, 0, 2},
        {"640,0", "out.bmp", kInvalid, 0, 0, 2},
        {"-5,10", "out.bmp", kInvalid, 0, 0, 2},
        {"abc,10", "out.bmp", kInvalid, 0, 0, 2},
        {",10", "out.bmp", kInvalid, 0, 0, 2},
        {"800 , 600", "out.bmp", kSaved, 800, 600, 2},
        {" +12,\t7", "out.bmp", kSaved, 12, 7, 2},
        {"3,4,5", "out.bmp", kSaved, 3, 4, 2},
        {"80,60abc", "out.bmp", kSaved, 80, 60, 2},
        {"99999999999999999999,5", "out.bmp", kTooLarge, 0, 0, 2},
        {"20000,20000", "out.svg", kTooLarge, 0, 0, 2},
    };
    const int32_t count = view.List().Count();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.size.value_or("(cancel)") + " / " + r.name.value_or("(cancel)"));
        fs::remove(Path("out.bmp"));
        Save(r.size, r.name && !r.name->empty() ? std::optional(Path(*r.name)) : r.name);
        const std::vector<std::string> prompts{
            "Enter the width and height of the bitmap separated by ','.",
            "Enter the name of the bitmap."};
        EXPECT_EQ(ui.prompts, std::vector(prompts.begin(), prompts.begin() + r.asked));
        ASSERT_EQ(ui.boxes.size(), r.message.empty() ? 0u : 1u);
        if (!r.message.empty()) {
            EXPECT_EQ(ui.boxes[0].text, r.message);
            EXPECT_EQ(ui.boxes[0].icon,
                      r.message == kSaved ? MessageIcon::None : MessageIcon::Stop);
        }
        EXPECT_EQ(FileCount(), r.w > 0 ? 1u : 0u);
        if (r.w > 0) {
            EXPECT_EQ(ReadFile(Path("out.bmp")), BmpBytes(Expected(r.w, r.h)));
        }
        EXPECT_EQ(view.List().Count(), count);
    }
    ui.boxes.clear();
    ui.prompts.clear();
    ui.inputs = {"100,100", Path("x.bmp")};
    doc.CreateGraphView(1).SaveContents();
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"There is nothing to save."});
    EXPECT_TRUE(ui.prompts.empty());
}

// Regression: a file that cannot be written is reported with its name and the reason, leaves
// what was there and no temporary file; a refused size touches nothing either.
TEST_F(ExportTest, AFailedWriteIsReportedAndTheOldFileStays) {
    struct Row { // sizeLimit: RLIMIT_FSIZE during the export (a full disk), 0 for none
        const char *name, *reason;
        rlim_t sizeLimit;
    };
    const Row rows[] = {
        {"missing/p.bmp", "No such file or directory", 0},
        {"missing/p.svg", "No such file or directory", 0},
        {"folder", "Is a directory", 0},
        {"full.bmp", "File too large", 100},
        {"full.png", "File too large", 100},
        {"full.pdf", "File too large", 100},
    };
    fs::create_directory(Path("folder"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const char* old : {"full.bmp", "full.png", "full.pdf"})
            std::ofstream(Path(old)) << "old";
        const std::string expected =
            "Could not create file.\n" + Path(row.name) + ": " + row.reason;
        ui.answers = {Answer::Ok}; // replace what is there
        std::string error;
        bool written = false;
        {
            std::optional<testing::FileSizeLimit> limit;
            if (row.sizeLimit) limit.emplace(row.sizeLimit);
            Save("64,48", Path(row.name));
            written = Export(FormatForName(row.name), row.name, 64, 48, error);
        }
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_EQ(ui.boxes.back().text, expected);
        EXPECT_EQ(ui.boxes.back().icon, MessageIcon::Stop);
        EXPECT_FALSE(written);
        EXPECT_EQ(error, expected);
        if (row.sizeLimit) {
            EXPECT_EQ(ReadFile(Path(row.name)), "old");
        }
        EXPECT_EQ(FileCount(), 4u); // the folder and the three old files: no temporaries
    }
    for (const F format : {F::Bmp, F::Png, F::Svg, F::Pdf}) {
        std::string error;
        EXPECT_FALSE(Export(format, "full.bmp", 20000, 20000, error));
        EXPECT_EQ(error, kTooLarge);
    }
    EXPECT_EQ(ReadFile(Path("full.bmp")), "old");
    EXPECT_EQ(FileCount(), 4u);
}

// Regression: an existing file is replaced only when the person says so.
TEST_F(ExportTest, AnExistingFileIsReplacedOnlyWhenThePersonSaysSo) {
    const std::string question =
        "The file " + Path("p.bmp") + " already exists.\nDo you want to replace it?";
    for (const Answer answer : {Answer::Ok, Answer::Cancel}) {
        std::ofstream(Path("p.bmp")) << "old";
        ui.answers = {answer};
        Save("10,10", Path("p.bmp"));
        const bool ok = answer == Answer::Ok;
        const std::vector<std::string> boxes{question, std::string(kSaved)};
        EXPECT_EQ(ui.Texts(), std::vector(boxes.begin(), boxes.begin() + (ok ? 2 : 1)));
        EXPECT_EQ(ReadFile(Path("p.bmp")), ok ? BmpBytes(Expected(10, 10)) : "old");
        EXPECT_EQ(FileCount(), 1u); // no temporary file left beside it
    }
}

} // namespace
} // namespace tivane
