#pragma once

// What a fuzz target asserts: an invariant that fails prints what and where, then aborts,
// which libFuzzer reports as a crash and keeps the input of.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                                                    \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "invariant broken: %s (%s) at %s:%d\n", what, #condition, __FILE__, __LINE__);        \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
