#include "extraction/progress_fraction.h"

#include <algorithm>

float ProgressFraction::Next(int32_t entrySize) {
    m_sum += std::max<int32_t>(entrySize, 0);
    ++m_done;
    float fraction;
    if (m_entryCount > 0 && m_done >= m_entryCount) {
        fraction = 1.0f;
    } else if (m_totalSize > 0 && m_sum <= m_totalSize) {
        fraction = float(int32_t(m_sum)) / float(m_totalSize);
    } else if (m_entryCount > 0) {
        fraction = float(m_done) / float(m_entryCount);
    } else {
        fraction = 0.0f;
    }
    m_last = std::clamp(std::max(fraction, m_last), 0.0f, 1.0f);
    return m_last;
}
