#pragma once
// Opens the FFmpeg module on demand: the file given to SetEncoderModulePath (the test suites
// name the one they built), else the first of OnDemandCandidates (modulepaths.h) that loads.
// The module stays loaded until the process ends; one that could not be loaded is not tried
// again.

#include <memory>
#include <string>

#include "videoencoder.h"

namespace tivane {

inline constexpr const char* kEncoderModuleName = "tivane-ffmpeg.so";

// From now on the module is this file and no other. Call before the first movie.
void SetEncoderModulePath(std::string path);

// A new encoder from the module, loading it the first time. Null when the module cannot be
// opened, with `detail` naming each file tried and what the loader said about it.
std::unique_ptr<VideoEncoder> MakeVideoEncoder(std::string& detail);

} // namespace tivane
