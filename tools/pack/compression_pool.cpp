#include "tools/pack/compression_pool.h"

namespace pack {

CompressionPool::CompressionPool(unsigned threads, const CodecLevels& levels) {
    if (threads == 0) threads = std::thread::hardware_concurrency();
    if (threads == 0) threads = 1;
    for (unsigned i = 0; i < threads; ++i) m_workers.emplace_back([this, levels] { Work(levels); });
}

CompressionPool::~CompressionPool() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (auto& worker : m_workers) worker.join();
}

size_t CompressionPool::InFlight() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_order.size();
}

void CompressionPool::Submit(std::vector<unsigned char> decoded) {
    auto job = std::make_shared<Job>();
    job->decoded = std::move(decoded);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_order.push_back(job);
        m_waiting.push_back(job);
    }
    m_changed.notify_all();
}

CompressedBlock CompressionPool::TakeNext() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_order.empty()) {
        CompressedBlock none;
        none.failed = true;
        return none;
    }
    m_changed.wait(lock, [this] { return m_order.front()->done; });
    CompressedBlock result = std::move(m_order.front()->result);
    m_order.pop_front();
    return result;
}

void CompressionPool::Work(const CodecLevels& levels) {
    BlockCompressor compressor(levels);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_stopping) return;
        std::shared_ptr<Job> job = m_waiting.front();
        m_waiting.pop_front();
        lock.unlock();
        CompressedBlock result = compressor.Compress(std::move(job->decoded));
        lock.lock();
        job->result = std::move(result);
        job->done = true;
        m_changed.notify_all();
    }
}

}  // namespace pack
