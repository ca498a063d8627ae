#pragma once
// The run's debug trace: each entry's name in UTF-8 on a line of its own, gathered for the whole
// run and written in one go when the run ends, before its result is reported. The C runtime does
// not buffer standard output on a character device (NUL or a console; /dev/null or a terminal
// under Wine), so a line written as it comes would cost a system call per entry there, and
// nothing on a pipe or a file.

#include <cstdio>
#include <string>

class CTraceBuffer {
public:
    explicit CTraceBuffer(std::FILE* out) : m_out(out) {}
    // Writes what is left.
    ~CTraceBuffer() { Flush(); }
    CTraceBuffer(const CTraceBuffer&) = delete;
    CTraceBuffer& operator=(const CTraceBuffer&) = delete;

    void AddLine(const std::wstring& name);
    // Writes the lines gathered so far with one call and flushes the stream.
    void Flush() noexcept;

private:
    std::FILE* m_out;
    std::string m_text;
};
