// libFuzzer entry for the contents files of graphics views (see filefuzz.h).

#include <cstddef>
#include <cstdint>

#include "filefuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tivane::fuzz::RunDrawListInput(data, size);
    return 0;
}
