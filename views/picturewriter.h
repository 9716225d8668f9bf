#pragma once
// The seam through which a graphics view's Save Contents writes its picture. Writing a picture
// needs a painter (render/), which the views layer must not depend on: the view asks the
// questions and checks the answers, and an installed PictureWriter makes the file.

#include <cstdint>
#include <string>
#include <string_view>

namespace tivane {

class GraphModel;

// 256 megapixels: a bitmap of 4 bytes a pixel then takes 1 GiB, which is as much as an export
// may ask for; it also keeps every BMP size field within its 32 bits. The vector formats
// keep the same bound, so a size refused for one format is refused for all.
inline constexpr int64_t kMaxPicturePixels = int64_t{256} * 1024 * 1024;

// True when a picture of w x h may be made: both positive, at most kMaxPicturePixels.
bool PictureSizeAllowed(int64_t width, int64_t height);

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
    // to `path`, in the format its name picks, replacing what is there only when the whole
    // file was written. False with `error` set to the message to show.
    virtual bool Write(const GraphModel& model, int32_t width, int32_t height,
                       const std::string& path, std::string& error) = 0;
};

// The writer every graphics view's Save Contents uses; null (the default) when the program
// has none. The application and tivane-run install render/'s at start-up; it must outlive
// every view.
void InstallPictureWriter(PictureWriter* writer);
PictureWriter* InstalledPictureWriter();

} // namespace tivane
