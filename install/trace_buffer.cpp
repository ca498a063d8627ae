#include "install/trace_buffer.h"

#include "install/utf8.h"

namespace {

// Lines gathered before they are written without waiting for the delay.
constexpr size_t kHeldLimit = 256 * 1024;

}  // namespace

CTraceBuffer::CTraceBuffer(std::FILE* out, std::chrono::milliseconds delay)
    : m_output(
          [out](const std::string& batch) {
              std::fwrite(batch.data(), 1, batch.size(), out);
              std::fflush(out);
          },
          delay, kHeldLimit) {}

void CTraceBuffer::AddLine(const std::wstring& name) {
    m_output.Add(WideToUtf8(name) + '\n');
}

void CTraceBuffer::Flush() {
    m_output.Write();
}
