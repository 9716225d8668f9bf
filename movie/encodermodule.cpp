#include "encodermodule.h"

#include <dlfcn.h>

#include <mutex>

#include "modulepaths.h"

namespace tivane {

namespace {

struct Module {
    std::mutex mutex;
    std::string path; // set by SetEncoderModulePath
    MakeVideoEncoderFunction make = nullptr;
    std::string failure; // why it could not be opened, kept so a retry says the same
};

Module& TheModule() {
    static Module module;
    return module;
}

} // namespace

void SetEncoderModulePath(std::string path) {
    Module& m = TheModule();
    const std::lock_guard lock(m.mutex);
    m.path = std::move(path);
}

std::unique_ptr<VideoEncoder> MakeVideoEncoder(std::string& detail) {
    Module& m = TheModule();
    const std::lock_guard lock(m.mutex);
    if (!m.make && m.failure.empty()) {
        const std::vector<std::string> candidates =
            m.path.empty() ? OnDemandCandidates(kEncoderModuleName) : std::vector{m.path};
        for (const std::string& path : candidates) {
            std::string tried;
            if (FirstExisting({path}, tried).empty()) {
                m.failure += (m.failure.empty() ? "" : "; ") + tried;
                continue;
            }
            // RTLD_LOCAL: FFmpeg's symbols stay the module's own business.
            void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                // The loader's words name the file: "/x/tivane-ffmpeg.so: invalid ELF header".
                const char* why = dlerror();
                m.failure += (m.failure.empty() ? "" : "; ") + (why ? why : path + ": ?");
                continue;
            }
            m.make =
                reinterpret_cast<MakeVideoEncoderFunction>(dlsym(handle, kMakeVideoEncoderSymbol));
            if (m.make) {
                m.failure.clear();
                break;
            }
            m.failure += (m.failure.empty() ? "" : "; ") + path + ": no " + kMakeVideoEncoderSymbol;
            dlclose(handle);
        }
        if (!m.make)
            m.failure = "cannot load the movie encoder " + std::string(kEncoderModuleName) + " (" +
                        m.failure + ")";
    }
    if (!m.make) {
        detail = m.failure;
        return nullptr;
    }
    std::unique_ptr<VideoEncoder> encoder(m.make(kVideoEncoderVersion));
    if (!encoder) detail = std::string(kEncoderModuleName) + " is of another version";
    return encoder;
}

} // namespace tivane
