#pragma once
// The picture files of a graphics view (what its Save Contents and tivane-run --export write):
// the whole draw list replayed afresh at a given size, written as BMP, PNG, JPEG, SVG or PDF.
// Bitmaps come from RenderPicture; the vector formats are painted by the same Replay, so lines stay
// lines and text stays text, and pens and fonts have the sizes they have in the bitmap.
//
// Everything here replays, so a QGuiApplication must exist before the first call.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QImage>

#include "drawlist.h"
#include "graphmodel.h"
#include "picturewriter.h"

namespace tivane {

// The BMP file of `picture`, byte for byte, as a 32-bit screen writes it: the file header, a
// 40-byte info header (positive height, so rows bottom-up; 20 colours used), a colour table
// of the 20 system colours, then the rows from the bottom, each pixel blue, green, red, 0.
// All numbers little-endian. Empty for a null picture or one over kMaxPicturePixels.
std::string BmpBytes(const QImage& picture);
// The 134 bytes before the pixel rows of a width x height BMP (both positive and allowed).
std::string BmpHeader(int width, int height);

// Writes the whole of `list`, its clip window fitted into width x height with the aspect kept
// (anchored top-left, the rest white), to `path` in `format`, through the one writer
// (atomicfile.h): a failure never leaves a partial file nor replaces an existing one. False
// with `error` set when the size is not allowed or the bitmap cannot be allocated
// (kPictureTooLarge; nothing is created), or when the file cannot be written: NotSavedMessage
// with the format's name, the path and the reason ("No space left on device"). A width or
// height below 1 is the caller's mistake (the command refuses it first) and gets an error
// text of its own.
bool WritePicture(const DrawList& list, const DRect& clip, int width, int height,
                  PictureFormat format, const std::string& path, std::string& error);

// The writer of graphics views' Save Contents in the application and tivane-run:
// WritePicture of the view's model.
class FilePictureWriter final : public PictureWriter {
public:
    bool Write(const GraphModel& model, int32_t width, int32_t height, PictureFormat format,
               const std::string& path, std::string& error) override;
};

} // namespace tivane
