#pragma once
// The seam through which a graphics view's Save Contents writes its picture. Writing a picture
// needs a painter (render/), which the views layer must not depend on: the view asks the
// questions and checks the answers, and an installed PictureWriter makes the file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui.h"

namespace tivane {

class GraphModel;

// The picture formats Save Contents writes, in the order its file dialog offers them.
enum class PictureFormat { Bmp, Png, Jpeg, Svg, Pdf };

struct PictureFormatInfo {
    PictureFormat format;
    std::string_view name;                 // as messages and the dialog name it
    std::string_view word;                 // as tivane-run's --format takes it
    std::vector<std::string_view> endings; // the first is the one names are given
    bool vector;                           // lines and text as such: no pixel limit
};
const std::vector<PictureFormatInfo>& PictureFormats();
const PictureFormatInfo& InfoOf(PictureFormat format);
inline std::string_view ExtensionOf(PictureFormat format) {
    return InfoOf(format).endings.front();
}
// The format the ending of `name` picks, in any case; a name without an ending is a BMP, as
// names always were; nothing for an ending no format has.
std::optional<PictureFormat> FormatForName(std::string_view name);
// The format a word names ("bmp", "png", "jpeg", "svg", "pdf"), or nothing.
std::optional<PictureFormat> FormatNamed(std::string_view word);
// The dialog's filters, one kind per format.
std::vector<FileKind> PictureFileKinds();

// 256 megapixels: a bitmap of 4 bytes a pixel then takes 1 GiB, which is as much as an export
// may ask for; it also keeps every BMP size field within its 32 bits.
inline constexpr int64_t kMaxPicturePixels = int64_t{256} * 1024 * 1024;
// A vector picture holds no pixels; its sides stay within what the replay clamps device
// coordinates to, so that every item lands where it belongs.
inline constexpr int64_t kMaxVectorSide = int64_t{1} << 24;

// True when a picture of w x h may be made: both positive, at most kMaxPicturePixels for a
// bitmap, at most kMaxVectorSide a side for a vector format.
bool PictureSizeAllowed(int64_t width, int64_t height, PictureFormat format = PictureFormat::Bmp);

// The integer at the start of `text`: leading white space, an optional sign, decimal digits;
// reading stops at the first other character, and no digits give 0. A number beyond the
// 32-bit range is clamped to it (so "99999999999999999999" is INT32_MAX, which the size
// check then refuses as too large rather than letting it wrap to some small size).
int32_t LeadingInteger(std::string_view text);

inline constexpr std::string_view kPictureTooLarge =
    "Could not create the bitmap, use smaller width and height values.";

class PictureWriter {
public:
    virtual ~PictureWriter() = default;
    // Writes the whole picture of `model` at width x height (allowed by PictureSizeAllowed)
    // to `path` in `format`, replacing what is there only when the whole file was written.
    // False with `error` set to the message to show.
    virtual bool Write(const GraphModel& model, int32_t width, int32_t height, PictureFormat format,
                       const std::string& path, std::string& error) = 0;
};

// The writer every graphics view's Save Contents uses; null (the default) when the program
// has none. The application and tivane-run install render/'s at start-up; it must outlive
// every view.
void InstallPictureWriter(PictureWriter* writer);
PictureWriter* InstalledPictureWriter();

} // namespace tivane
