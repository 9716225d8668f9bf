// The suites that record movies load the FFmpeg module this build made, wherever they run.

#include "encodermodule.h"

namespace {
[[maybe_unused]] const bool g_module = (tivane::SetEncoderModulePath(TIVANE_ENCODER_MODULE), true);
}
