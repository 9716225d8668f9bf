#include "videoformat.h"

#include <cctype>

namespace tivane {

namespace {

struct FormatName {
    VideoFormat format;
    std::string_view word;
};
// In VideoFormat's order.
constexpr FormatName kFormats[] = {{VideoFormat::Avi, "avi"},
                                   {VideoFormat::Mp4, "mp4"},
                                   {VideoFormat::Webm, "webm"},
                                   {VideoFormat::Gif, "gif"}};
constexpr std::string_view kExtensions[] = {".avi", ".mp4", ".webm", ".gif"};
static_assert(std::size(kFormats) == std::size(kExtensions));

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

} // namespace

std::optional<VideoFormat> VideoFormatNamed(std::string_view word) {
    for (const FormatName& f : kFormats)
        if (SameIgnoringCase(word, f.word)) return f.format;
    return std::nullopt;
}

std::string_view VideoExtension(VideoFormat format) {
    return kExtensions[static_cast<int>(format)];
}

VideoFormatChoice VideoFormatForName(std::string_view fileName) {
    const size_t slash = fileName.find_last_of('/');
    const std::string_view base =
        slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = base.find_last_of('.');
    // A leading dot names a hidden file, not an ending.
    if (dot == std::string_view::npos || dot == 0)
        return {std::nullopt, "The movie file name " + std::string(base) +
                                  " has no ending: use .avi, .mp4, .webm or .gif."};
    const std::string_view ending = base.substr(dot);
    if (const auto format = VideoFormatNamed(ending.substr(1))) return {format, {}};
    return {std::nullopt, "Movies cannot be written as " + std::string(ending) +
                              " files: use .avi, .mp4, .webm or .gif."};
}

} // namespace tivane
