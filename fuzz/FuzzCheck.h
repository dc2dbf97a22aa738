#pragma once

#include <cstdio>
#include <cstdlib>

// A property a fuzz target asserts: a breach prints where it was and aborts, which libFuzzer
// reports as a finding with the input that caused it.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);       \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
