#include "picturewriter.h"

#include <algorithm>
#include <limits>

namespace tivane {

namespace {

PictureWriter* g_writer = nullptr;

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

bool PictureSizeAllowed(int64_t width, int64_t height) {
    // Each factor is checked first, so the product cannot overflow.
    return width > 0 && height > 0 && width <= kMaxPicturePixels && height <= kMaxPicturePixels &&
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
