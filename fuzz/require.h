// How a fuzz target reports a broken promise: a line naming it, then abort,
// which libFuzzer takes as a crash and keeps the input for.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}
