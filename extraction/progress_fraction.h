#pragma once
// The fraction of the installation done after each entry, safe against a lying archive header.

#include <cstdint>

class ProgressFraction {
public:
    ProgressFraction(int32_t entryCount, int32_t totalSize)
        : m_entryCount(entryCount), m_totalSize(totalSize) {}

    // Counts one more entry of `entrySize` bytes and returns the fraction now done: bytes so far
    // over the header's total while the total holds, otherwise entries so far over the count;
    // never less than the fraction before it, always within 0 to 1, exactly 1 for the last entry.
    float Next(int32_t entrySize);

private:
    int32_t m_entryCount;
    int32_t m_totalSize;
    int64_t m_sum = 0;
    int32_t m_done = 0;
    float m_last = 0.0f;
};
