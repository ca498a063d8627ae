#pragma once
// A broken promise ends the run like a crash, so libFuzzer keeps the input that showed it.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what) \
    ((condition) ? void() : ::fuzz::BrokenPromise(#condition, what, __FILE__, __LINE__))

namespace fuzz {

[[noreturn]] inline void BrokenPromise(const char* condition, const char* what, const char* file,
                                       int line) {
    std::fprintf(stderr, "%s:%d: broken promise: %s (%s)\n", file, line, what, condition);
    std::abort();
}

}  // namespace fuzz
