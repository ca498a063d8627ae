#include "install/trace_buffer.h"

#include "install/utf8.h"

void CTraceBuffer::AddLine(const std::wstring& name) {
    m_text += WideToUtf8(name);
    m_text += '\n';
}

void CTraceBuffer::Flush() noexcept {
    if (!m_text.empty()) std::fwrite(m_text.data(), 1, m_text.size(), m_out);
    std::fflush(m_out);
    m_text.clear();
}
