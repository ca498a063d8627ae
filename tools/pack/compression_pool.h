#pragma once
// Compresses blocks on every core while handing them back in the order they came in.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/pack/block_compressor.h"

namespace pack {

class CompressionPool {
public:
    // `threads` 0: as many as the machine has.
    CompressionPool(unsigned threads, const CodecLevels& levels);
    ~CompressionPool();
    CompressionPool(const CompressionPool&) = delete;
    CompressionPool& operator=(const CompressionPool&) = delete;

    unsigned Threads() const { return unsigned(m_workers.size()); }
    // Blocks submitted and not yet taken: the caller keeps this to a few to bound memory.
    size_t InFlight() const;
    void Submit(std::vector<unsigned char> decoded);
    // The oldest block not yet taken, waiting for it to be compressed.
    CompressedBlock TakeNext();

private:
    struct Job {
        std::vector<unsigned char> decoded;
        CompressedBlock result;
        bool done = false;
    };
    void Work(const CodecLevels& levels);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Job>> m_order;    // submitted, not taken
    std::deque<std::shared_ptr<Job>> m_waiting;  // submitted, not started
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

}  // namespace pack
