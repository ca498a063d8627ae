#include "install/trace_buffer.h"

#include "install/utf8.h"

void CTraceBuffer::AddLine(const std::wstring& name) {
    m_text += Utf16ToUtf8(std::u16string(name.begin(), name.end()));
    m_text += '\n';
}

void CTraceBuffer::Flush() noexcept {
    if (!m_text.empty()) std::fwrite(m_text.data(), 1, m_text.size(), m_out);
    std::fflush(m_out);
    m_text.clear();
}
