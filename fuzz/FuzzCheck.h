// CHECK(cond): a fuzz target's own assertion; prints the failed condition and
// aborts so libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define CHECK(cond)                                                                                          \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond);                                  \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
