#include "log/trace_buffer.h"

#include <io.h>

#include "platform/utf8.h"

namespace {

// Lines gathered before they are written without waiting for the delay.
constexpr size_t kHeldLimit = 256 * 1024;

}  // namespace

CTraceBuffer::CTraceBuffer(std::FILE* out, std::chrono::milliseconds delay)
    : m_output(
          [out](const std::string& batch) {
              // Past the stream: the C runtime writes an unbuffered stream that it has not marked
              // as such (standard output on a character device) a byte at a time for all but
              // whole 4 KiB of a write.
              std::fflush(out);
              _write(_fileno(out), batch.data(), unsigned(batch.size()));
          },
          delay, kHeldLimit) {}

void CTraceBuffer::AddLine(const std::wstring& name) {
    m_output.Add(WideToUtf8(name) + '\n');
}

void CTraceBuffer::Flush() {
    m_output.Write();
}
