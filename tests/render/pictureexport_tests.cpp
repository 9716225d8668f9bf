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
#include <tuple>
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

// Save Contents' word on a file written, naming its format and the file.
std::string Saved(std::string_view format, const std::string& path) {
    return "The " + std::string(format) + " file " + path + " has been saved successfully.";
}
const std::string kTooLarge = "Could not create the bitmap, use smaller width and height values.";
const QRgb kWhite = qRgb(255, 255, 255);

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Records the prompts too, so the order of the questions is checked.
class PromptUi : public FakeUi {
public:
    std::vector<std::string> prompts, initials;
    std::optional<std::string> GetUserInput(std::string_view prompt,
                                            std::string_view initial) override {
        prompts.emplace_back(prompt);
        initials.emplace_back(initial);
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
    // The name is chosen in the save dialog, then the size given.
    void Save(std::optional<std::string> size, std::optional<std::string> name) {
        ui.boxes.clear();
        ui.prompts.clear();
        ui.inputs = {std::move(name), std::move(size)};
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
    const std::string golden = ReadFile(TIVANE_SOURCE_DIR "/tests/render/golden/3x2.bmp");
    ASSERT_EQ(golden.size(), 134u + 3 * 2 * 4);
    EXPECT_EQ(BmpBytes(picture), golden);
    EXPECT_EQ(BmpBytes(picture.convertToFormat(QImage::Format_RGB888)), golden);
    EXPECT_EQ(BmpBytes(QImage()), "");
}

TEST(PictureExportTest, FormatComesFromTheNameEndingInAnyCase) {
    // clang-format off
    const std::pair<const char*, std::optional<F>> rows[] = {
        {"a.png A.PNG x/y.PnG", F::Png}, {"b.svg b.SVG", F::Svg}, {"c.pdf c.Pdf", F::Pdf},
        {"e.jpg E.JPEG x.y/e.Jpg", F::Jpeg}, {"d.bmp png f.png.bmp noext dir.png/noext .png", F::Bmp},
        {"g.pngx h.gif i.tiff j.jpe k. l.bmp.", std::nullopt}};
    // clang-format on
    for (const auto& [names, format] : rows) {
        std::istringstream words(names);
        for (std::string name; words >> name;)
            EXPECT_EQ(FormatForName(name), format) << name;
    }
    EXPECT_EQ(FormatForName(""), F::Bmp);
}

// Bitmaps are the replayed picture, which keeps the clip window's aspect inside the size.
TEST_F(ExportTest, BmpAndPngHoldTheReplayedPicture) {
    EXPECT_EQ(Write(F::Bmp, "p.bmp", 1200, 400), BmpBytes(Expected(1200, 400)));
    Save("300,200", Path("P.PNG"));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{Saved("PNG", Path("P.PNG"))});
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
    QImage shown(1200, 400, QImage::Format_RGB32);
    shown.fill(Qt::black);
    QPainter painter(&shown);
    QSvgRenderer(QByteArray::fromStdString(svg)).render(&painter);
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

// The name comes first, from the save dialog that opens in the document's folder with the
// formats as filters; its ending picks the format or is refused; then the size, the window's
// proposed, checked as soon as it is given.
TEST_F(ExportTest, NameThenSizeOfSaveContents) {
    struct Row { // no message "", no file w = 0
        std::optional<std::string> size, name;
        std::string message; // a format's name stands for its success message
        int w, h;
    };
    const std::optional<std::string> cancel;
    const std::string refused = "Tivane cannot write a picture as " + Path("out.gif") +
                                ": the ending \".gif\" is not one of .bmp, .png, .jpg, .jpeg, "
                                ".svg, .pdf.";
    // clang-format off
    const Row rows[] = {
        {"640,480", cancel, "", 0, 0},
        {"640,480", "out.gif", refused, 0, 0},
        {cancel, "out.bmp", "", 0, 0},
        {"640x480", "out.bmp", "Separate the number by ','.", 0, 0},
        {"640,0", "out.bmp", "You did not enter valid numbers.", 0, 0},
        {"800 , 600", "out.bmp", "BMP", 800, 600},
        {" +12,\t7", "out", "BMP", 12, 7},
        {"99999999999999999999,5", "out.bmp", kTooLarge, 0, 0},
        {"20000,20000", "out.jpg", kTooLarge, 0, 0},
        // Vectors have no pixels to count: only the replay's coordinate range bounds them.
        {"20000,20000", "out.svg", "SVG", 20000, 20000},
        {"16777217,10", "out.pdf", kTooLarge, 0, 0},
    };
    // clang-format on
    const int32_t count = view.List().Count();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.size.value_or("(cancel)") + " / " + r.name.value_or("(cancel)"));
        for (const auto& entry : fs::directory_iterator(dir.path().toStdString()))
            fs::remove(entry.path());
        const std::optional<std::string> path = r.name ? std::optional(Path(*r.name)) : r.name;
        Save(r.size, path);
        const bool asked = r.name && r.name != "out.gif", saved = r.w > 0;
        EXPECT_EQ(ui.prompts.size(), asked ? 1u : 0u);
        ASSERT_EQ(ui.boxes.size(), r.message.empty() ? 0u : 1u);
        if (!r.message.empty()) {
            EXPECT_EQ(ui.boxes[0].text, saved ? Saved(r.message, *path) : r.message);
            EXPECT_EQ(ui.boxes[0].icon, saved ? MessageIcon::None : MessageIcon::Stop);
        }
        EXPECT_EQ(FileCount(), saved ? 1u : 0u);
        EXPECT_TRUE(r.message != "BMP" || ReadFile(*path) == BmpBytes(Expected(r.w, r.h)));
        EXPECT_EQ(view.List().Count(), count);
    }
    // A document never saved: the current folder, a name of its own, PNG proposed (the second
    // of the formats), the window's size offered.
    const SaveFileRequest& asked = ui.saveRequests.front();
    EXPECT_EQ(std::tuple(asked.folder, asked.name, asked.kinds.at(asked.selected).name),
              std::tuple("", "picture.png", "PNG"));
    EXPECT_EQ(ui.prompts.back(), "Enter the width and height of the bitmap separated by ','.");
    EXPECT_EQ(ui.initials.back(), "800,600");

    ui.boxes.clear();
    ui.prompts.clear();
    ui.inputs = {Path("x.bmp"), "100,100"};
    doc.CreateGraphView(1).SaveContents();
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"There is nothing to save."});
    EXPECT_TRUE(ui.prompts.empty());
}

// Regression: a file that cannot be written is reported with its name and the reason, leaves
// what was there and no temporary file; a refused size touches nothing either.
TEST_F(ExportTest, AFailedWriteIsReportedAndTheOldFileStays) {
    // sizeLimit: RLIMIT_FSIZE during the export (a full disk), 0 for none
    const std::tuple<const char*, const char*, rlim_t> rows[] = {
        {"missing/p.bmp", "No such file or directory", 0},
        {"missing/p.svg", "No such file or directory", 0},
        {"folder", "Is a directory", 0},
        {"full.bmp", "File too large", 100},
        {"full.png", "File too large", 100},
        {"full.pdf", "File too large", 100},
    };
    fs::create_directory(Path("folder"));
    for (const auto& [name, reason, sizeLimit] : rows) {
        SCOPED_TRACE(name);
        for (const char* old : {"full.bmp", "full.png", "full.pdf"})
            std::ofstream(Path(old)) << "old";
        const std::string expected = "Could not save the " +
                                     std::string(InfoOf(*FormatForName(name)).name) + " file " +
                                     Path(name) + ": " + reason + ".";
        ui.answers = {Answer::Ok}; // replace what is there
        {
            std::optional<testing::FileSizeLimit> limit;
            if (sizeLimit) limit.emplace(sizeLimit);
            Save("64,48", Path(name));
        }
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_EQ(ui.boxes.back().text, expected);
        EXPECT_EQ(ui.boxes.back().icon, MessageIcon::Stop);
        EXPECT_TRUE(!sizeLimit || ReadFile(Path(name)) == "old") << "the old file stays";
        EXPECT_EQ(FileCount(), 4u); // the folder and the three old files: no temporaries
    }
    for (const auto& [format, w] : {std::pair{F::Bmp, 20000},
                                    {F::Png, 20000},
                                    {F::Jpeg, 20000},
                                    {F::Svg, 16777217},
                                    {F::Pdf, 16777217}}) {
        std::string error;
        EXPECT_FALSE(Export(format, "full.bmp", w, 20000, error));
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
        const std::vector<std::string> boxes{question, Saved("BMP", Path("p.bmp"))};
        EXPECT_EQ(ui.Texts(), std::vector(boxes.begin(), boxes.begin() + (ok ? 2 : 1)));
        EXPECT_EQ(ReadFile(Path("p.bmp")), ok ? BmpBytes(Expected(10, 10)) : "old");
        EXPECT_EQ(FileCount(), 1u); // no temporary file left beside it
    }
}

} // namespace
} // namespace tivane
