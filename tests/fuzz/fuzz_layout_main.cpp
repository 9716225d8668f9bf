// libFuzzer entry for layout files (see filefuzz.h).

#include <cstddef>
#include <cstdint>

#include "filefuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tivane::fuzz::RunLayoutInput(data, size);
    return 0;
}
