#pragma once
// The movie formats a recording can be written in, chosen by the file name's ending.

#include <optional>
#include <string>
#include <string_view>

namespace tivane {

enum class VideoFormat {
    Avi,  // MPEG-4 Part 2 tagged XVID, key frames only: what Save as AVI always wrote
    Mp4,  // H.264
    Webm, // VP9
    Gif,  // an animated GIF of 256 colours
};

// The format a word names ("avi", "mp4", "webm", "gif", in any case), or nothing.
std::optional<VideoFormat> VideoFormatNamed(std::string_view word);
// The file name ending of a format: ".avi", ".mp4", ".webm", ".gif".
std::string_view VideoExtension(VideoFormat format);

// The format of a movie file name's ending, in any case ("run.MP4" is MP4).
struct VideoFormatChoice {
    std::optional<VideoFormat> format;
    // When there is no format: what to tell the user, naming the ending (or its absence),
    // e.g. "Movies cannot be written as .mov files: use .avi, .mp4, .webm or .gif."
    std::string refusal;
};
VideoFormatChoice VideoFormatForName(std::string_view fileName);

} // namespace tivane
