#pragma once
// The run's debug trace: each entry's name in UTF-8 on a line of its own, gathered and written a
// batch at a time, at least every kDelay and in full when the run ends, before its result is
// reported. The C runtime does not buffer standard output on a character device (NUL or a console;
// /dev/null or a terminal under Wine), so a line written as it comes would cost a system call per
// entry there, and nothing on a pipe or a file.

#include <chrono>
#include <cstdio>
#include <string>

#include "log/held_output.h"

class CTraceBuffer {
public:
    static constexpr std::chrono::milliseconds kDelay{500};

    explicit CTraceBuffer(std::FILE* out, std::chrono::milliseconds delay = kDelay);
    CTraceBuffer(const CTraceBuffer&) = delete;
    CTraceBuffer& operator=(const CTraceBuffer&) = delete;

    void AddLine(const std::wstring& name);
    // Writes the lines gathered so far with one call and flushes the stream.
    void Flush();

private:
    // Writes what is left when it goes.
    CHeldOutput m_output;
};
