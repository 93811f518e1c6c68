#pragma once
// What every fuzz target shares: the libFuzzer entry point and a check that
// stops the run with a message when a property of the parser does not hold.
//
// A failed check aborts, so libFuzzer keeps the input as a finding and the
// corpus replay test fails on it; both print what did not hold.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property does not hold: %s (%s)\n", __FILE__, __LINE__,   \
                         what, #condition);                                                        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
