// libFuzzer entry: clang++ -fsanitize=fuzzer,address,undefined (see the TIVANE_FUZZ option).

#include <cstddef>
#include <cstdint>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tivane::fuzz::RunInput(data, size);
    return 0;
}
