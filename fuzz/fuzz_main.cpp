// libFuzzer's entry point for one target; FUZZ_TARGET names its function.
#include "targets/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FUZZ_TARGET(data, size);
}
