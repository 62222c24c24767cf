// The libFuzzer program of one target; TOLVAN_FUZZ_TARGET names its entry.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "FuzzEntries.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tolvan::fuzz::FuzzEntry* const entry =
        tolvan::fuzz::findFuzzEntry(TOLVAN_FUZZ_TARGET);
    if (!entry) {
        std::fprintf(stderr, "no fuzz entry named %s\n", TOLVAN_FUZZ_TARGET);
        std::abort();
    }
    try {
        entry->run(data, size);
    } catch (const tolvan::fuzz::FuzzFailure& e) {
        std::fprintf(stderr, "==%s== rule broken: %s\n", TOLVAN_FUZZ_TARGET, e.what());
        std::abort();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "==%s== uncaught exception: %s\n", TOLVAN_FUZZ_TARGET, e.what());
        std::abort();
    }
    return 0;
}
