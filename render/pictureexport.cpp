#include "pictureexport.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "atomicfile.h"
#include "filesearch.h"
#include "replay.h"

namespace tivane {

namespace {

// Bitmaps follow the on-screen rule for pens and fonts at the usual 96 dots an inch; the
// vector formats are made at the same resolution so that they measure the same.
constexpr int kPictureDpi = 96;

constexpr int kJpegQuality = 95;

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;

struct Rgb {
    uint8_t r, g, b;
};

// The 20 colours a 32-bit screen reserves for the system, in the order it lists them. A true
// colour bitmap does not need them, but every program reading these files has always found
// them there, so the table stays.
constexpr std::array<Rgb, 20> kSystemPalette{{
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
}};
static_assert(kSystemPalette.front().r == 0 && kSystemPalette.back().b == 255);

constexpr int kPaletteBytes = 4 * static_cast<int>(kSystemPalette.size());
constexpr int kPixelOffset = kFileHeaderBytes + kInfoHeaderBytes + kPaletteBytes;
static_assert(kPixelOffset == 134);

// The largest file the limit allows still has every size field within its 32 bits.
static_assert(kPixelOffset + 4 * kMaxPicturePixels <= std::numeric_limits<uint32_t>::max());

void Put16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// One row of pixels as the file holds it: blue, green, red and a zero byte. Rows of 32-bit
// pixels are always a whole number of 4-byte words, so there is no padding.
void AppendBmpRow(const QImage& rgb32, int y, std::string& out) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb32.constScanLine(y));
    for (int x = 0; x < rgb32.width(); ++x) {
        out.push_back(static_cast<char>(qBlue(line[x])));
        out.push_back(static_cast<char>(qGreen(line[x])));
        out.push_back(static_cast<char>(qRed(line[x])));
        out.push_back('\0');
    }
}

QImage AsRgb32(const QImage& picture) {
    return picture.format() == QImage::Format_RGB32 ? picture
                                                    : picture.convertToFormat(QImage::Format_RGB32);
}

// Row by row, so a large picture is never held twice.
bool WriteBmp(const QImage& picture, AtomicFile& file) {
    const QImage rgb32 = AsRgb32(picture);
    if (!file.Write(BmpHeader(rgb32.width(), rgb32.height()))) return false;
    std::string row;
    row.reserve(static_cast<size_t>(rgb32.width()) * 4);
    for (int y = rgb32.height() - 1; y >= 0; --y) {
        row.clear();
        AppendBmpRow(rgb32, y, row);
        if (!file.Write(row)) return false;
    }
    return true;
}

// The vector formats: white first, then the replay, with the device's own resolution as the
// target's, so that pens and fonts come out as the size rule says for that device.
bool PaintVector(QPaintDevice& device, const DrawList& list, const DRect& clip, QSize size) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const QRect target(QPoint(0, 0), size);
    // A back colour fills the clip window's numbers unscaled, and text may run past the
    // picture; a bitmap ends at its edge, so the vector pictures end there too.
    painter.setClipRect(target);
    painter.fillRect(target, Qt::white);
    ReplayState state;
    Replay(list, clip, painter,
           ReplayTarget{size, static_cast<double>(device.logicalDpiX()), false}, state);
    return painter.end();
}

bool WriteSvg(const DrawList& list, const DRect& clip, QSize size, QIODevice& device) {
    QSvgGenerator svg;
    svg.setOutputDevice(&device);
    svg.setResolution(kPictureDpi);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    return PaintVector(svg, list, clip, size);
}

// A PDF page is measured in points. At 96 device units an inch the page of w x h units is
// 0.75 w x 0.75 h points: the device is exactly w x h, its logicalDpiX is that of the bitmap
// (so pens and fonts have the same sizes), and a viewer at 100% shows it as large as the
// bitmap. The page box holds whole points, so it can be up to half a point larger or smaller
// than the picture when w or h is not a multiple of 4; the picture is clipped to w x h.
bool WritePdf(const DrawList& list, const DRect& clip, QSize size, QIODevice& device) {
    QPdfWriter pdf(&device);
    pdf.setCreator(QStringLiteral("Tivane"));
    pdf.setResolution(kPictureDpi);
    const double pointsPerUnit = 72.0 / kPictureDpi;
    const QPageSize page(QSizeF(size.width() * pointsPerUnit, size.height() * pointsPerUnit),
                         QPageSize::Point, QString(), QPageSize::ExactMatch);
    if (!pdf.setPageLayout(QPageLayout(page, QPageLayout::Portrait, QMarginsF()))) return false;
    return PaintVector(pdf, list, clip, size);
}

} // namespace

std::string BmpHeader(int width, int height) {
    const uint32_t imageBytes =
        ((32 * static_cast<uint32_t>(width) + 31) / 32) * 4 * static_cast<uint32_t>(height);
    std::string out;
    out.reserve(kPixelOffset);
    out += "BM";
    Put32(out, kPixelOffset + imageBytes);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, kPixelOffset);

    Put32(out, kInfoHeaderBytes);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height)); // positive: the rows run bottom-up
    Put16(out, 1);                             // planes
    Put16(out, 32);                            // bits a pixel
    Put32(out, 0);                             // no compression
    Put32(out, imageBytes);
    Put32(out, 0); // pixels a metre, horizontally and vertically: not given
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(kSystemPalette.size())); // colours used
    Put32(out, 0);                                            // colours important: all

    for (const Rgb& c : kSystemPalette) {
        out.push_back(static_cast<char>(c.b));
        out.push_back(static_cast<char>(c.g));
        out.push_back(static_cast<char>(c.r));
        out.push_back('\0');
    }
    return out;
}

std::string BmpBytes(const QImage& picture) {
    if (picture.isNull() || !PictureSizeAllowed(picture.width(), picture.height())) return {};
    const QImage rgb32 = AsRgb32(picture);
    std::string out = BmpHeader(rgb32.width(), rgb32.height());
    out.reserve(out.size() + static_cast<size_t>(rgb32.width()) * 4 * rgb32.height());
    for (int y = rgb32.height() - 1; y >= 0; --y)
        AppendBmpRow(rgb32, y, out);
    return out;
}

bool WritePicture(const DrawList& list, const DRect& clip, int width, int height,
                  PictureFormat format, const std::string& path, std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "The picture needs a positive width and height.";
        return false;
    }
    if (!PictureSizeAllowed(width, height, format)) {
        error = kPictureTooLarge;
        return false;
    }
    const QSize size(width, height);
    // A bitmap is made before the file, so a failed allocation creates nothing.
    QImage bitmap;
    if (!InfoOf(format).vector) {
        bitmap = RenderPicture(list, clip, size, kPictureDpi);
        if (bitmap.isNull()) {
            error = kPictureTooLarge;
            return false;
        }
    }
    auto fail = [&](const std::string& reason) {
        error = NotSavedMessage(InfoOf(format).name, path, reason);
        return false;
    };
    if (format == PictureFormat::Bmp) {
        AtomicFile file(path);
        if (!file.Open() || !WriteBmp(bitmap, file)) return fail(file.Error());
        const WriteResult r = file.Commit();
        return r.Ok() || fail(r.error);
    }
    // The other formats are made in memory and written in one piece, so every byte goes
    // through the checked write; an encoder writing into a file of its own buffers the last
    // bytes past the point where its failure could still be seen.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool made = false;
    switch (format) {
    case PictureFormat::Png:
        made = bitmap.save(&buffer, "PNG");
        break;
    case PictureFormat::Jpeg:
        // Lines one pixel wide blur at the encoder's default; at 95 they stay crisp.
        made = bitmap.save(&buffer, "JPEG", kJpegQuality);
        break;
    case PictureFormat::Svg:
        made = WriteSvg(list, clip, size, buffer);
        break;
    case PictureFormat::Pdf:
        made = WritePdf(list, clip, size, buffer);
        break;
    case PictureFormat::Bmp:
        break;
    }
    buffer.close();
    if (!made) return fail("the picture could not be encoded");
    const WriteResult r =
        WriteFileAtomically(path, std::string_view(bytes.constData(), bytes.size()));
    return r.Ok() || fail(r.error);
}

bool FilePictureWriter::Write(const GraphModel& model, int32_t width, int32_t height,
                              PictureFormat format, const std::string& path, std::string& error) {
    return WritePicture(model.List(), model.Clip(), width, height, format, path, error);
}

} // namespace tivane
