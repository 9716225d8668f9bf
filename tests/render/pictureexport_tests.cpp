// The picture export: the BMP file byte for byte, the other formats by what a reader of them
// finds, and the Save Contents command with scripted answers and the files it leaves.

#include "pictureexport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
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

using testing::FakeUi;

constexpr std::string_view kSaved = "The BMP file has been saved successfully.";
constexpr std::string_view kTooLarge =
    "Could not create the bitmap, use smaller width and height values.";
constexpr std::string_view kNoFile = "Could not create file.";
constexpr std::string_view kSeparate = "Separate the number by ','.";
constexpr std::string_view kInvalid = "You did not enter valid numbers.";

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le(const std::string& bytes, size_t at, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(bytes.at(at + static_cast<size_t>(i)));
    return v;
}

// A 32-bit bottom-up BMP as the export writes it, read back by picture coordinates.
struct BmpFile {
    std::string bytes;
    int Width() const { return static_cast<int>(Le(bytes, 18, 4)); }
    int Height() const { return static_cast<int>(Le(bytes, 22, 4)); }
    size_t At(int x, int y) const {
        return 134 + (static_cast<size_t>(Height() - 1 - y) * Width() + x) * 4;
    }
    QRgb Pixel(int x, int y) const {
        const size_t i = At(x, y);
        return qRgb(static_cast<uint8_t>(bytes.at(i + 2)), static_cast<uint8_t>(bytes.at(i + 1)),
                    static_cast<uint8_t>(bytes.at(i)));
    }
    uint8_t FourthByte(int x, int y) const { return static_cast<uint8_t>(bytes.at(At(x, y) + 3)); }
};

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
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    std::string Path(const std::string& name) const {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }
    size_t FileCount() const {
        return static_cast<size_t>(
            std::distance(std::filesystem::directory_iterator(dir.path().toStdString()),
                          std::filesystem::directory_iterator()));
    }

    // A 600 x 400 clip window with a world of the same numbers: world points are clip units.
    void Canvas() {
        view.ClearView();
        ASSERT_EQ(view.SetClipWindow(0, 0, 600, 400), 0u);
        view.SetWorldWindow(0, 0, 600, 400);
    }
    // A red line along the top edge from the top-left corner, and a black one across the
    // middle of the whole clip window's width.
    void Lines() {
        Canvas();
        view.SetForeColor(255, 0, 0);
        view.DrawMoveTo(0, 0);
        view.DrawLineTo(40, 0);
        view.SetForeColor(0, 0, 0);
        view.DrawMoveTo(0, 200);
        view.DrawLineTo(600, 200);
    }
    void Save(std::optional<std::string> size, std::optional<std::string> name) {
        ui.inputs = {std::move(size), std::move(name)};
        view.SaveContents();
    }
    std::string Write(PictureFormat format, const std::string& name, int w, int h) {
        std::string error;
        EXPECT_TRUE(WritePicture(view.List(), view.Model().Clip(), w, h, format, Path(name), error))
            << error;
        return ReadFile(Path(name));
    }

    QTemporaryDir dir;
    PromptUi ui;
    CTivaneDoc doc{ui, SearchContext{}};
    CTivaneGraph& view = doc.CreateGraphView(0);
};

TEST(BmpTest, HeadersAreThoseOfA32BitScreen) {
    struct Field {
        size_t at;
        int width;
        uint32_t value;
    };
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const std::string bytes = BmpBytes(picture);
    ASSERT_EQ(bytes.size(), 134u + 3 * 2 * 4);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    const Field fields[] = {
        {2, 4, 158}, {6, 2, 0},  {8, 2, 0},  {10, 4, 134}, // file header
        {14, 4, 40}, {18, 4, 3}, {22, 4, 2}, {26, 2, 1},   {28, 2, 32}, {30, 4, 0},
        {34, 4, 24}, {38, 4, 0}, {42, 4, 0}, {46, 4, 20},  {50, 4, 0},
    };
    for (const Field& f : fields)
        EXPECT_EQ(Le(bytes, f.at, f.width), f.value) << "offset " << f.at;

    const uint8_t palette[20][3] = {
        // red, green, blue
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
    };
    for (size_t i = 0; i < 20; ++i) {
        const std::string entry = bytes.substr(54 + 4 * i, 4);
        const std::string expected{static_cast<char>(palette[i][2]),
                                   static_cast<char>(palette[i][1]),
                                   static_cast<char>(palette[i][0]), '\0'};
        EXPECT_EQ(entry, expected) << "colour " << i;
    }
}

TEST(BmpTest, SizeFieldsFollowTheDimensions) {
    const std::pair<QSize, uint32_t> rows[] = {
        {{1, 1}, 4}, {{5, 3}, 60}, {{640, 480}, 1228800}, {{16384, 16384}, 1073741824}};
    for (const auto& [size, imageBytes] : rows) {
        const std::string header = BmpHeader(size.width(), size.height());
        ASSERT_EQ(header.size(), 134u);
        EXPECT_EQ(Le(header, 2, 4), 134 + imageBytes) << size.width();
        EXPECT_EQ(Le(header, 34, 4), imageBytes) << size.width();
        EXPECT_EQ(Le(header, 18, 4), static_cast<uint32_t>(size.width()));
        EXPECT_EQ(Le(header, 22, 4), static_cast<uint32_t>(size.height()));
    }
}

TEST(BmpTest, RowsRunBottomUpAsBlueGreenRedZero) {
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(0, 0, qRgb(10, 20, 30)); // top-left: the last row of the file
    picture.setPixel(2, 1, qRgb(40, 50, 60)); // bottom-right: the first row
    const std::string bytes = BmpBytes(picture);
    EXPECT_EQ(bytes.substr(134 + 3 * 4, 4), std::string("\x1e\x14\x0a\x00", 4));
    EXPECT_EQ(bytes.substr(134 + 2 * 4, 4), std::string("\x3c\x32\x28\x00", 4));
    EXPECT_EQ(bytes.substr(134, 4), std::string("\xff\xff\xff\x00", 4));
    // Another pixel format gives the same file.
    EXPECT_EQ(BmpBytes(picture.convertToFormat(QImage::Format_RGB888)), bytes);
    EXPECT_EQ(BmpBytes(QImage()), "");
}

TEST(PictureExportTest, FormatComesFromTheNameEnding) {
    const std::pair<std::string_view, PictureFormat> rows[] = {
        {"a.png", PictureFormat::Png},     {"A.PNG", PictureFormat::Png},
        {"x/y.PnG", PictureFormat::Png},   {"b.svg", PictureFormat::Svg},
        {"b.SVG", PictureFormat::Svg},     {"c.pdf", PictureFormat::Pdf},
        {"c.Pdf", PictureFormat::Pdf},     {"d.bmp", PictureFormat::Bmp},
        {"e.jpg", PictureFormat::Bmp},     {"png", PictureFormat::Bmp},
        {"f.png.bmp", PictureFormat::Bmp}, {"g.pngx", PictureFormat::Bmp},
        {"noext", PictureFormat::Bmp},     {"", PictureFormat::Bmp},
    };
    for (const auto& [name, format] : rows)
        EXPECT_EQ(FormatForName(name), format) << name;
}

TEST_F(ExportTest, BmpHoldsTheReplayedPictureBottomUp) {
    Lines();
    const BmpFile bmp{Write(PictureFormat::Bmp, "p.bmp", 600, 400)};
    ASSERT_EQ(bmp.bytes.size(), 134u + 600 * 400 * 4);
    EXPECT_EQ(bmp.Width(), 600);
    EXPECT_EQ(bmp.Height(), 400);
    // The red line at the top of the picture is in the file's last row.
    EXPECT_EQ(bmp.At(0, 0), 134u + 399u * 600 * 4);
    EXPECT_EQ(bmp.Pixel(0, 0), kRed);
    EXPECT_EQ(bmp.Pixel(40, 0), kRed);
    EXPECT_EQ(bmp.Pixel(0, 399), kWhite);
    const QImage expected = RenderPicture(view.List(), view.Model().Clip(), QSize(600, 400));
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 600; ++x) {
            ASSERT_EQ(bmp.Pixel(x, y), expected.pixel(x, y)) << x << "," << y;
            ASSERT_EQ(bmp.FourthByte(x, y), 0) << x << "," << y;
        }
}

TEST_F(ExportTest, TheClipWindowKeepsItsAspect) {
    Lines(); // the middle line spans the clip window's whole width
    struct Row {
        int w, h;
        QPoint probe;
        bool inked;
    };
    const Row rows[] = {
        {1200, 400, {599, 200}, true},  {1200, 400, {900, 200}, false}, // height-bound
        {1200, 800, {1199, 400}, true}, {1200, 800, {900, 400}, true},
        {300, 400, {299, 100}, true},   {300, 400, {150, 200}, false}, // width-bound
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.w << "x" << r.h << " at " << r.probe.x());
        const BmpFile bmp{Write(PictureFormat::Bmp, "fit.bmp", r.w, r.h)};
        ASSERT_EQ(bmp.Width(), r.w);
        EXPECT_EQ(bmp.Pixel(r.probe.x(), r.probe.y()) != kWhite, r.inked);
    }
}

TEST_F(ExportTest, PngForAnyCaseOfItsName) {
    Lines();
    for (const std::string name : {"p.png", "P.PNG"}) {
        ui.boxes.clear();
        Save("300,200", Path(name));
        EXPECT_EQ(ui.Texts(), std::vector<std::string>{std::string(kSaved)}) << name;
        const std::string bytes = ReadFile(Path(name));
        EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << name;
        QImage loaded;
        ASSERT_TRUE(loaded.loadFromData(QByteArray::fromStdString(bytes), "PNG"));
        EXPECT_EQ(loaded.size(), QSize(300, 200));
        const QImage expected = RenderPicture(view.List(), view.Model().Clip(), QSize(300, 200));
        EXPECT_EQ(loaded.convertToFormat(QImage::Format_RGB32), expected);
    }
}

TEST_F(ExportTest, SvgKeepsLinesAndTextAsVectors) {
    Lines();
    view.ChangeFont("DejaVu Sans", 12, 0);
    view.DrawMoveTo(100, 300);
    view.OutputText("Tivane 42");
    // Twice as wide as the clip window: the right half is only the white background.
    const std::string svg = Write(PictureFormat::Svg, "p.svg", 1200, 400);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    // At 96 dots an inch, as the bitmap: 1200 pixels are 317.5 mm, and the 12-point font of a
    // clip window shown 600 pixels wide is 16 pixels high.
    EXPECT_NE(svg.find("<svg width=\"317.5mm\" height=\"105.833mm\""), std::string::npos)
        << svg.substr(0, 300);
    EXPECT_NE(svg.find("viewBox=\"0 0 1200 400\""), std::string::npos);
    EXPECT_NE(svg.find("font-family=\"DejaVu Sans\" font-size=\"16\""), std::string::npos);
    EXPECT_NE(svg.find("<polyline"), std::string::npos);
    EXPECT_NE(svg.find(">Tivane 42</text>"), std::string::npos);
    EXPECT_EQ(svg.find("<image"), std::string::npos);

    // Drawn back, it shows the lines where the bitmap has them, on white.
    QSvgRenderer renderer(QByteArray::fromStdString(svg));
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBox(), QRect(0, 0, 1200, 400));
    QImage shown(1200, 400, QImage::Format_RGB32);
    shown.fill(Qt::black);
    QPainter painter(&shown);
    renderer.render(&painter);
    painter.end();
    EXPECT_EQ(qRed(shown.pixel(20, 0)), 255);
    EXPECT_LT(qGreen(shown.pixel(20, 0)), 128);
    EXPECT_LT(qRed(shown.pixel(300, 200)), 128);
    EXPECT_EQ(shown.pixel(300, 100), kWhite);
    EXPECT_EQ(shown.pixel(900, 200), kWhite);
}

// The page contents: every compressed stream of the file inflated and joined.
QByteArray PdfStreams(const std::string& pdf) {
    QByteArray all;
    const QByteArray bytes = QByteArray::fromStdString(pdf);
    for (qsizetype at = bytes.indexOf("stream\n"); at >= 0; at = bytes.indexOf("stream\n", at)) {
        at += 7;
        const qsizetype end = bytes.indexOf("endstream", at);
        if (end < 0) break;
        // Only the compressed ones (a zlib header); qUncompress wants a big-endian size hint
        // before the data, and grows past it.
        if (bytes.at(at) == '\x78')
            all += qUncompress(QByteArray("\0\1\0\0", 4) + bytes.mid(at, end - at));
        at = end + 9;
    }
    return all;
}

TEST_F(ExportTest, PdfPageIsThePictureAt96DotsAnInch) {
    Lines();
    view.ChangeFont("DejaVu Sans", 12, 0);
    view.DrawMoveTo(100, 300);
    view.OutputText("Tivane 42");
    struct Row {
        QSize size;
        std::string box;  // the page in points: 3/4 of the size
        std::string font; // 12 points of a clip window shown 600 pixels wide, scaled
        std::string line; // the middle line, scaled
    };
    const Row rows[] = {
        {{640, 480}, "/MediaBox [0 0 480", " 17 Tf", "0 213 m\n640 213 l"}, // scale 16/15
        {{600, 400}, "/MediaBox [0 0 450", " 16 Tf", "0 200 m\n600 200 l"}, // scale 1
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.size.width());
        const std::string pdf = Write(PictureFormat::Pdf, "p.pdf", r.size.width(), r.size.height());
        EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
        EXPECT_GT(pdf.size(), 1000u);
        EXPECT_NE(pdf.find(r.box), std::string::npos);
        EXPECT_NE(pdf.find("/Type /Font"), std::string::npos); // text stays text
        EXPECT_NE(pdf.find("/Count 1"), std::string::npos);    // one page
        EXPECT_NE(pdf.rfind("%%EOF"), std::string::npos);
        // A device unit is 3/4 of a point; lines and the font have their sizes in the bitmap.
        const QByteArray contents = PdfStreams(pdf);
        EXPECT_TRUE(QString::fromLatin1(contents).contains(
            QRegularExpression("\\b0\\.750* 0 0 -0\\.750* 0 \\S+ cm")));
        EXPECT_TRUE(contents.contains(r.font.c_str()));
        EXPECT_TRUE(contents.contains(r.line.c_str()));
    }
}

TEST_F(ExportTest, NothingToSaveAsksNothing) {
    Save("100,100", "x.bmp");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "There is nothing to save.");
    EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Stop);
    EXPECT_EQ(ui.boxes[0].help, 0u);
    EXPECT_TRUE(ui.prompts.empty());
    EXPECT_EQ(FileCount(), 0u);
}

TEST_F(ExportTest, SizeAnswers) {
    struct Row {
        std::optional<std::string> size, name;
        std::string_view message; // "" for none
        int w, h;                 // of the file written; 0 for none
        size_t asked;             // questions asked
    };
    const Row rows[] = {
        {"640x480", "out.bmp", kSeparate, 0, 0, 2},
        {"640x480", std::nullopt, kSeparate, 0, 0, 2},
        {"640x480", "", kSeparate, 0, 0, 2},
        {std::nullopt, "out.bmp", "", 0, 0, 1},
        {"", "out.bmp", "", 0, 0, 1},
        {"640,480", std::nullopt, "", 0, 0, 2},
        {"640,480", "", "", 0, 0, 2},
        {"640,0", "out.bmp", kInvalid, 0, 0, 2},
        {"0,480", "out.bmp", kInvalid, 0, 0, 2},
        {"-5,10", "out.bmp", kInvalid, 0, 0, 2},
        {"abc,10", "out.bmp", kInvalid, 0, 0, 2},
        {",10", "out.bmp", kInvalid, 0, 0, 2},
        {"800 , 600", "out.bmp", kSaved, 800, 600, 2},
        {"800,600abc", "out.bmp", kSaved, 800, 600, 2},
        {" +12,\t7", "out.bmp", kSaved, 12, 7, 2},
        {"3,4,5", "out.bmp", kSaved, 3, 4, 2},
        {"99999999999999999999,5", "out.bmp", kTooLarge, 0, 0, 2},
        {"20000,20000", "out.bmp", kTooLarge, 0, 0, 2},
        {"20000,20000", "out.svg", kTooLarge, 0, 0, 2},
    };
    Lines();
    const int32_t count = view.List().Count();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.size.value_or("(cancel)") + " / " + r.name.value_or("(cancel)"));
        ui.boxes.clear();
        ui.prompts.clear();
        std::filesystem::remove_all(Path("out.bmp"));
        std::filesystem::remove_all(Path("out.svg"));
        // An empty name stays empty; the others are made to point into the scratch folder.
        Save(r.size, r.name && !r.name->empty() ? std::optional(Path(*r.name)) : r.name);

        ASSERT_EQ(ui.prompts.size(), r.asked);
        EXPECT_EQ(ui.prompts[0], "Enter the width and height of the bitmap separated by ','.");
        if (r.asked > 1) {
            EXPECT_EQ(ui.prompts[1], "Enter the name of the bitmap.");
        }
        if (r.message.empty()) {
            EXPECT_TRUE(ui.boxes.empty());
        } else {
            ASSERT_EQ(ui.boxes.size(), 1u);
            EXPECT_EQ(ui.boxes[0].text, r.message);
            EXPECT_EQ(ui.boxes[0].icon,
                      r.message == kSaved ? MessageIcon::None : MessageIcon::Stop);
            EXPECT_EQ(ui.boxes[0].help, 0u);
        }
        if (r.w > 0) {
            const BmpFile bmp{ReadFile(Path("out.bmp"))};
            ASSERT_EQ(bmp.bytes.size(), 134u + static_cast<size_t>(r.w) * r.h * 4);
            EXPECT_EQ(bmp.Width(), r.w);
            EXPECT_EQ(bmp.Height(), r.h);
        } else {
            EXPECT_EQ(FileCount(), 0u);
        }
        EXPECT_EQ(view.List().Count(), count);
        ui.inputs.clear();
    }
}

TEST_F(ExportTest, AFileThatCannotBeWrittenIsReportedAndTheOldOneStays) {
    struct Row {
        const char* name;
        rlim_t sizeLimit; // RLIMIT_FSIZE during the export (a full disk), 0 for none
        const char* reason;
    };
    const Row rows[] = {
        {"missing/p.bmp", 0, "No such file or directory"},
        {"missing/p.png", 0, "No such file or directory"},
        {"missing/p.svg", 0, "No such file or directory"},
        {"missing/p.pdf", 0, "No such file or directory"},
        {"folder", 0, "Is a directory"},
        {"full.bmp", 100, "File too large"},
        {"full.png", 100, "File too large"},
        {"full.svg", 100, "File too large"},
        {"full.pdf", 100, "File too large"},
    };
    Lines();
    std::filesystem::create_directory(Path("folder"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::ofstream(Path("full.bmp")) << "old";
        std::filesystem::copy_file(Path("full.bmp"), Path("full.png"),
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(Path("full.bmp"), Path("full.svg"),
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(Path("full.bmp"), Path("full.pdf"),
                                   std::filesystem::copy_options::overwrite_existing);
        const std::string expected =
            std::string(kNoFile) + "\n" + Path(row.name) + ": " + row.reason;
        ui.boxes.clear();
        ui.answers = {Answer::Ok}; // replace what is there
        std::string error;
        bool written = false;
        {
            std::optional<testing::FileSizeLimit> limit;
            if (row.sizeLimit) limit.emplace(row.sizeLimit);
            Save("64,48", Path(row.name));
            written = WritePicture(view.List(), view.Model().Clip(), 64, 48,
                                   FormatForName(row.name), Path(row.name), error);
        }
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_EQ(ui.boxes.back().text, expected);
        EXPECT_EQ(ui.boxes.back().icon, MessageIcon::Stop);
        EXPECT_FALSE(written);
        EXPECT_EQ(error, expected);
        if (row.sizeLimit) {
            EXPECT_EQ(ReadFile(Path(row.name)), "old");
        }
        EXPECT_EQ(FileCount(), 5u); // the folder and the four old files: no temporaries
    }
    EXPECT_FALSE(Exists("missing"));
    EXPECT_TRUE(std::filesystem::is_directory(Path("folder")));
}

TEST_F(ExportTest, ARefusedSizeLeavesAnExistingFileAlone) {
    Lines();
    std::ofstream(Path("keep.bmp")) << "old";
    for (const PictureFormat format :
         {PictureFormat::Bmp, PictureFormat::Png, PictureFormat::Svg, PictureFormat::Pdf}) {
        std::string error;
        EXPECT_FALSE(WritePicture(view.List(), view.Model().Clip(), 20000, 20000, format,
                                  Path("keep.bmp"), error));
        EXPECT_EQ(error, kTooLarge);
    }
    EXPECT_EQ(ReadFile(Path("keep.bmp")), "old");
    EXPECT_EQ(FileCount(), 1u);
}

TEST_F(ExportTest, AnExistingFileIsReplacedOnlyWhenThePersonSaysSo) {
    struct Row {
        Answer answer;
        size_t size; // of the file afterwards
        std::vector<std::string> boxes;
    };
    const std::string question =
        "The file " + Path("p.bmp") + " already exists.\nDo you want to replace it?";
    const Row rows[] = {
        {Answer::Ok, 134u + 400, {question, std::string(kSaved)}},
        {Answer::Cancel, 3, {question}},
    };
    Lines();
    for (const Row& row : rows) {
        std::ofstream(Path("p.bmp")) << "old";
        ui.boxes.clear();
        ui.answers = {row.answer};
        Save("10,10", Path("p.bmp"));
        EXPECT_EQ(ui.Texts(), row.boxes);
        EXPECT_EQ(ReadFile(Path("p.bmp")).size(), row.size);
        EXPECT_EQ(FileCount(), 1u); // no temporary file left beside it
    }
}

} // namespace
} // namespace tivane
