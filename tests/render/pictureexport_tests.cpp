// The picture export: the BMP file against a golden file, the other formats by what a reader
// of them finds, and the Save Contents command with scripted answers and the files it leaves.

#include "pictureexport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <QImage>
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

const std::string kTooLarge = "Could not create the bitmap, use smaller width and height values.";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ExportTest : public ::testing::Test {
protected:
    // A red line along the top edge from the top-left corner, a black one across the middle
    // and a text, in a 600 x 400 clip window whose world has the same numbers.
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
    // The name is chosen in the save dialog, then the size given; true when it was asked.
    bool Save(std::optional<std::string> size, std::optional<std::string> name) {
        ui.boxes.clear();
        ui.inputs = {std::move(name), std::move(size)};
        view.SaveContents();
        const bool asked = ui.inputs.empty();
        ui.inputs.clear();
        return asked;
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
    FakeUi ui;
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

// Bitmaps are the replayed picture, which keeps the clip window's aspect inside the size.
TEST_F(ExportTest, BmpAndPngHoldTheReplayedPicture) {
    EXPECT_EQ(Write(F::Bmp, "p.bmp", 1200, 400), BmpBytes(Expected(1200, 400)));
    Save("300,200", Path("P.PNG"));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"The PNG file " + Path("P.PNG") +
                                                   " has been saved successfully."});
    QImage png;
    ASSERT_TRUE(png.load(QString::fromStdString(Path("P.PNG")), "PNG"));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), Expected(300, 200));
}

// Vectors stay vectors at 96 dots an inch: 1200 pixels are 317.5 mm, the 12-point font of a
// clip window shown 600 wide is 16 high, and a PDF page in points is 3/4 of the size.
TEST_F(ExportTest, VectorFormatsKeepLinesAndTextAt96DotsAnInch) {
    const std::string svg = Write(F::Svg, "p.svg", 1200, 400);
    for (const char* part :
         {"<svg width=\"317.5mm\" height=\"105.833mm\"", "viewBox=\"0 0 1200 400\"",
          "font-family=\"DejaVu Sans\" font-size=\"16\"", "<polyline", ">Tivane 42</text>"})
        EXPECT_NE(svg.find(part), std::string::npos) << part;
    EXPECT_EQ(svg.find("<image"), std::string::npos);
    const std::string pdf = Write(F::Pdf, "p.pdf", 640, 480);
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    for (const char* part : {"/MediaBox [0 0 480", "/Type /Font", "/Count 1", "%%EOF"})
        EXPECT_NE(pdf.find(part), std::string::npos) << part;
}

// Save Contents: the name comes first, from the save dialog; its ending picks the format or is
// refused; an existing file is replaced only when the person says so; then the size, checked
// as soon as it is given. Regression: a file that cannot be written is reported with its name
// and the reason, and leaves what was there and no temporary file.
TEST_F(ExportTest, SaveContentsAsksTheNameThenTheSizeAndKeepsWhatWasThere) {
    struct Row {
        std::optional<std::string> size, name;
        bool asked;          // the size
        std::string message; // the last box, $P the file; the question first where one is there
        int w, h;            // of the file written; 0: none
        Answer replace;      // to the question
        rlim_t sizeLimit;    // RLIMIT_FSIZE during the export (a full disk), 0 for none
    };
    const std::optional<std::string> cancel;
    const Answer ok = Answer::Ok;
    const std::string saved = " file $P has been saved successfully.",
                      refused = "Tivane cannot write a picture as $P: the ending \".gif\" is not "
                                "one of .bmp, .png, .jpg, .jpeg, .svg, .pdf.";
    // clang-format off
    const Row rows[] = {
        {"640,480", cancel, false, "", 0, 0, ok, 0},
        {"640,480", "out.gif", false, refused, 0, 0, ok, 0},
        {cancel, "out.bmp", true, "", 0, 0, ok, 0},
        {"640x480", "out.bmp", true, "Separate the number by ','.", 0, 0, ok, 0},
        {"640,0", "out.bmp", true, "You did not enter valid numbers.", 0, 0, ok, 0},
        {" +12 ,\t7", "out", true, "The BMP" + saved, 12, 7, ok, 0},
        {"20000,20000", "out.jpg", true, kTooLarge, 0, 0, ok, 0},
        // Vectors have no pixels to count: only the replay's coordinate range bounds them.
        {"20000,20000", "out.svg", true, "The SVG" + saved, 20000, 20000, ok, 0},
        {"10,10", "old.bmp", false, "", 0, 0, Answer::Cancel, 0},
        {"10,10", "old.bmp", true, "The BMP" + saved, 10, 10, ok, 0},
        {"64,48", "missing/p.svg", true, "Could not save the SVG file $P: No such file or directory.", 0, 0, ok, 0},
        {"64,48", "folder", true, "Could not save the BMP file $P: Is a directory.", 0, 0, ok, 0},
        {"64,48", "old.bmp", true, "Could not save the BMP file $P: File too large.", 0, 0, ok, 100},
        {"64,48", "full.pdf", true, "Could not save the PDF file $P: File too large.", 0, 0, ok, 100},
    };
    // clang-format on
    const int32_t count = view.List().Count();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.size.value_or("(cancel)") + " / " + r.name.value_or("(cancel)"));
        fs::remove_all(dir.path().toStdString());
        fs::create_directories(Path("folder"));
        std::ofstream(Path("old.bmp")) << "old";
        const std::optional<std::string> path = r.name ? std::optional(Path(*r.name)) : r.name;
        ui.answers = {r.replace};
        const bool exists = path && fs::exists(*path);
        {
            std::optional<testing::FileSizeLimit> limit;
            if (r.sizeLimit) limit.emplace(r.sizeLimit);
            EXPECT_EQ(Save(r.size, path), r.asked);
        }
        std::vector<std::string> texts;
        if (exists)
            texts.push_back("The file " + *path + " already exists.\nDo you want to replace it?");
        if (!r.message.empty())
            texts.push_back(std::regex_replace(r.message, std::regex("\\$P"), path.value_or("")));
        EXPECT_EQ(ui.Texts(), texts);
        const bool written = r.w > 0;
        EXPECT_TRUE(r.message.empty() ||
                    ui.boxes.back().icon == (written ? MessageIcon::None : MessageIcon::Stop));
        const bool bmp = written && r.message.starts_with("The BMP");
        EXPECT_TRUE(!bmp || ReadFile(*path) == BmpBytes(Expected(r.w, r.h)));
        EXPECT_EQ(ReadFile(Path("old.bmp")) == "old", !(written && r.name == "old.bmp"));
        EXPECT_EQ(FileCount(), written && r.name != "old.bmp" ? 3u : 2u); // no temporary file
        EXPECT_EQ(view.List().Count(), count);
    }
    // Too large a picture touches nothing, in any format.
    for (const auto& [format, w] : {std::pair{F::Png, 20000}, {F::Pdf, 16777217}}) {
        std::string error;
        EXPECT_FALSE(Export(format, "old.bmp", w, 20000, error));
        EXPECT_EQ(error, kTooLarge);
    }
    EXPECT_EQ(ReadFile(Path("old.bmp")), "old");
}

} // namespace
} // namespace tivane
