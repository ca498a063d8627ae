#pragma once
// The run's debug trace: each entry's name in UTF-8 on a line of its own, gathered and written a
// batch at a time, at least every kDelay and in full when the run ends, before its result is
// reported. The C runtime does not buffer standard output on a character device (NUL or a console;
// /dev/null or a terminal under Wine), so a line written as it comes would cost a system call per
// entry there, and nothing on a pipe or a file.
//
// The log is the run's record; the trace never holds it up. Batches are written on a thread of
// their own: while a stream does not take them (a pipe that nobody reads), the run goes on, what
// would wait beyond kMostWaiting is dropped, and the end waits for the writes at most kEndWait.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "log/held_output.h"

class CTraceBuffer {
public:
    static constexpr std::chrono::milliseconds kDelay{500};
    static constexpr std::chrono::milliseconds kEndWait{2000};
    static constexpr size_t kMostWaiting = 1024 * 1024;

    explicit CTraceBuffer(std::FILE* out, std::chrono::milliseconds delay = kDelay,
                          std::chrono::milliseconds endWait = kEndWait);
    // Hands over what is left and waits for it to be written, at most the end wait.
    ~CTraceBuffer();
    CTraceBuffer(const CTraceBuffer&) = delete;
    CTraceBuffer& operator=(const CTraceBuffer&) = delete;

    void AddLine(const std::wstring& name);
    // Hands the lines gathered so far over to be written with one call.
    void Flush();
    // Lines' bytes dropped so far because the stream did not take them.
    size_t Dropped() const;

private:
    class CWriter;

    std::shared_ptr<CWriter> m_writer;
    std::chrono::milliseconds m_endWait;
    // Hands over what is left when it goes, before the writer is told to end.
    std::unique_ptr<CHeldOutput> m_output;
};
