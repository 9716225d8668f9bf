#pragma once
// What the FFmpeg module (tivane-ffmpeg.so, movie/ffmpegencoder.cpp) offers the movie writer.
// FFmpeg's libraries take about 170 ms to load, so they are in a module of their own that the
// writer opens the first time a movie is recorded (encodermodule.h). This header is the whole
// contract between the two: no Qt, no FFmpeg, nothing but the standard library.

#include <cstddef>
#include <cstdint>
#include <string>

#include "videoformat.h"

namespace tivane {

// Error texts, one per point of failure; the writer reports exactly these.
inline constexpr const char* kMovieSucceeded = "Method Succeeded";
inline constexpr const char* kCannotCreateMovieFile = "Unable to Create the Movie File";
inline constexpr const char* kCannotCreateVideoStream =
    "Unable to Create Video Stream in the Movie File";
inline constexpr const char* kCannotCreateEncoder =
    "Unable to Create Compressed Stream: Check your CODEC options";
inline constexpr const char* kCannotSetVideoFormat = "Unable to Set Video Stream Format";
inline constexpr const char* kCannotWriteVideo =
    "Unable to Write Video Stream to the output Movie File";

// MPEG-4 Part 2 keeps a frame's width and height in 13-bit fields. FFmpeg's encoder refuses
// more; libxvid takes it and writes a stream no decoder reads, so it is refused for both, and
// for every format, so that a size one format takes is taken by all.
inline constexpr int kMaxVideoSide = 8191;

// One of the texts above, and FFmpeg's (or the loader's) own words for logs and reports.
struct VideoFailure {
    const char* text = kMovieSucceeded;
    std::string detail;
};

struct VideoSpec {
    std::string fileName;
    VideoFormat format = VideoFormat::Avi;
    std::string fourCC;  // the AVI stream's codec tag; other containers choose their own
    std::string encoder; // an FFmpeg encoder name; empty for the format's preferred one
    int framesPerSecond = 25;
    int width = 0, height = 0;
    int pictures = 1; // converted pictures in flight, numbered 0 .. pictures - 1
};

// One movie file being written. Convert and Encode may run at the same time on two threads,
// on different pictures; each of them, and Open and Finish, from one thread at a time.
class VideoEncoder {
public:
    virtual ~VideoEncoder() = default;
    // Creates the file and the encoder and writes the header. False, with `failure` set,
    // when any of it fails; nothing is then left on disk.
    virtual bool Open(const VideoSpec& spec, VideoFailure& failure) = 0;
    // Brings picture `picture` up to date with a frame of width x height pixels, 4 bytes each
    // in memory order B, G, R, X, rows `stride` bytes apart, of which only rows [top, top +
    // rows) differ from what the picture holds: at least those are converted into the
    // encoder's colours, and the others keep what they held.
    virtual bool Convert(const uint8_t* bgrx, std::ptrdiff_t stride, int top, int rows, int picture,
                         VideoFailure& failure) = 0;
    // Encodes picture `picture` as the next frame and writes what the encoder gives back.
    virtual bool Encode(int picture, VideoFailure& failure) = 0;
    // Drains the encoder, writes the end of the file and closes it. After a failure, the file
    // keeps and indexes the frames written before it. False when the end could not be written.
    virtual bool Finish(VideoFailure& failure) = 0;
    // The FFmpeg encoder chosen by Open ("libxvid", "mpeg4", "libx264", ...).
    virtual std::string EncoderName() const = 0;
};

// The module's one exported function: a new encoder, or null when the module was built for
// another version of this header.
inline constexpr int kVideoEncoderVersion = 2;
inline constexpr const char* kMakeVideoEncoderSymbol = "TivaneMakeVideoEncoder";
using MakeVideoEncoderFunction = VideoEncoder* (*)(int version);

} // namespace tivane
