#pragma once
// The picture export of a graphics view (its Save Contents command): the whole draw list
// replayed afresh at a size the user gives, written as BMP, PNG, SVG or PDF. Bitmaps come from
// RenderPicture; the vector formats are painted by the same Replay, so lines stay lines and
// text stays text, and pens and fonts have the sizes they have in the bitmap.
//
// Everything here replays, so a QGuiApplication must exist before the first call.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QImage>

#include "drawlist.h"
#include "graphmodel.h"

namespace tivane {

class CTivaneGraph;
class Ui;

enum class PictureFormat { Bmp, Png, Svg, Pdf };
// The file name ending of each format, in PictureFormat's order.
inline constexpr std::string_view kPictureExtensions[] = {".bmp", ".png", ".svg", ".pdf"};
inline std::string_view ExtensionOf(PictureFormat format) {
    return kPictureExtensions[static_cast<int>(format)];
}

// 256 megapixels: a bitmap of 4 bytes a pixel then takes 1 GiB, which is as much as an export
// may ask for; it also keeps every BMP size field within its 32 bits. The vector formats
// keep the same bound, so a size refused for one format is refused for all.
inline constexpr int64_t kMaxPicturePixels = int64_t{256} * 1024 * 1024;

// True when a picture of w x h may be made: both positive, at most kMaxPicturePixels.
bool PictureSizeAllowed(int64_t width, int64_t height);

// The BMP file of `picture`, byte for byte, as a 32-bit screen writes it: the file header, a
// 40-byte info header (positive height, so rows bottom-up; 20 colours used), a colour table
// of the 20 system colours, then the rows from the bottom, each pixel blue, green, red, 0.
// All numbers little-endian. Empty for a null picture or one over kMaxPicturePixels.
std::string BmpBytes(const QImage& picture);
// The 134 bytes before the pixel rows of a width x height BMP (both positive and allowed).
std::string BmpHeader(int width, int height);

// ".png", ".svg" or ".pdf" at the end of `name` (any case) picks that format; any other
// name, with another extension or none, gives BMP.
PictureFormat FormatForName(std::string_view name);
// The format a word names ("bmp", "png", "svg", "pdf"), or nothing.
std::optional<PictureFormat> FormatNamed(std::string_view word);

// The integer at the start of `text`: leading white space, an optional sign, decimal digits;
// reading stops at the first other character, and no digits give 0. A number beyond the
// 32-bit range is clamped to it (so "99999999999999999999" is INT32_MAX, which the size
// check then refuses as too large rather than letting it wrap to some small size).
int32_t LeadingInteger(std::string_view text);

// The messages of a failed export, which the Save Contents command shows as they are.
inline constexpr std::string_view kCouldNotCreateFile = "Could not create file.";
inline constexpr std::string_view kPictureTooLarge =
    "Could not create the bitmap, use smaller width and height values.";

// Writes the whole of `list`, its clip window fitted into width x height with the aspect kept
// (anchored top-left, the rest white), to `path` in `format`, through the one writer
// (atomicfile.h): a failure never leaves a partial file nor replaces an existing one. False
// with `error` set when the size is not allowed or the bitmap cannot be allocated
// (kPictureTooLarge; nothing is created), or when the file cannot be written:
// kCouldNotCreateFile, a line break, then "path: reason" ("No space left on device"). A width
// or height below 1 is the caller's mistake (the command refuses it first) and gets an error
// text of its own.
bool WritePicture(const DrawList& list, const DRect& clip, int width, int height,
                  PictureFormat format, const std::string& path, std::string& error);

// The Save Contents command of a graphics view: asks for "width,height" and a file name,
// asks before replacing an existing file, writes the picture in the format the name picks,
// and reports the outcome in message boxes.
// The export is a full replay of its own onto a new target: the view and its drawnIndex (the
// window's incremental replay) are left as they are.
void SavePictureContents(CTivaneGraph& view, Ui& ui);

} // namespace tivane
