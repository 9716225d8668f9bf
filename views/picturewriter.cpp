#include "picturewriter.h"

#include <algorithm>
#include <cassert>
#include <limits>

#include "filesearch.h"

namespace tivane {

namespace {

PictureWriter* g_writer = nullptr;

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

const std::vector<PictureFormatInfo>& PictureFormats() {
    static const std::vector<PictureFormatInfo> formats{
        {PictureFormat::Bmp, "BMP", "bmp", {".bmp"}, false},
        {PictureFormat::Png, "PNG", "png", {".png"}, false},
        {PictureFormat::Jpeg, "JPEG", "jpeg", {".jpg", ".jpeg"}, false},
        {PictureFormat::Svg, "SVG", "svg", {".svg"}, true},
        {PictureFormat::Pdf, "PDF", "pdf", {".pdf"}, true},
    };
    return formats;
}

const PictureFormatInfo& InfoOf(PictureFormat format) {
    // The table is in the enum's order.
    const PictureFormatInfo& info = PictureFormats()[static_cast<size_t>(format)];
    assert(info.format == format);
    return info;
}

std::optional<PictureFormat> FormatForName(std::string_view name) {
    const std::string_view ending = EndingOf(name);
    if (ending.empty()) return PictureFormat::Bmp;
    for (const PictureFormatInfo& info : PictureFormats()) {
        for (std::string_view e : info.endings) {
            if (EqualIgnoringCase(ending, e)) return info.format;
        }
    }
    return std::nullopt;
}

std::optional<PictureFormat> FormatNamed(std::string_view word) {
    for (const PictureFormatInfo& info : PictureFormats()) {
        if (word == info.word) return info.format;
    }
    return std::nullopt;
}

std::vector<FileKind> PictureFileKinds() {
    std::vector<FileKind> kinds;
    for (const PictureFormatInfo& info : PictureFormats())
        kinds.push_back({std::string(info.name), {info.endings.begin(), info.endings.end()}});
    return kinds;
}

bool PictureSizeAllowed(int64_t width, int64_t height, PictureFormat format) {
    if (width <= 0 || height <= 0) return false;
    if (InfoOf(format).vector) return width <= kMaxVectorSide && height <= kMaxVectorSide;
    // Each factor is checked first, so the product cannot overflow.
    return width <= kMaxPicturePixels && height <= kMaxPicturePixels &&
           width * height <= kMaxPicturePixels;
}

int32_t LeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // One past the 32-bit range is enough to know the number is out of it; the value stops
    // growing there, so no digit string can overflow.
    constexpr int64_t kCap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), kCap);
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void InstallPictureWriter(PictureWriter* writer) {
    g_writer = writer;
}

PictureWriter* InstalledPictureWriter() {
    return g_writer;
}

} // namespace tivane
