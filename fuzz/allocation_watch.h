#pragma once
// Heap bytes the code under test holds, through AddressSanitizer's allocation hooks (zlib's own
// allocations included), so a target can hold the code to what its input justifies. Allocations of
// every thread count, those of a pool included.

#include <sanitizer/allocator_interface.h>

#include <atomic>
#include <cstddef>

namespace fuzz {

class AllocationWatch {
public:
    // Measures from now on.
    AllocationWatch() {
        static const bool installed =
            __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree) != 0;
        (void)installed;
        s_peak = s_live.load();
        m_start = s_live.load();
    }
    // The most held at once since the watch began, beyond what was held before.
    size_t Peak() const { return s_peak > m_start ? s_peak - m_start : 0; }

    // While one lives, what the checks on its thread allocate and free again is not counted.
    class Pause {
    public:
        Pause() { ++s_paused; }
        ~Pause() { --s_paused; }
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;
    };

private:
    static void OnMalloc(const volatile void*, size_t size) {
        if (s_paused) return;
        const size_t live = s_live += size;
        size_t peak = s_peak.load();
        while (live > peak && !s_peak.compare_exchange_weak(peak, live)) {
        }
    }
    static void OnFree(const volatile void* pointer) {
        if (!pointer || s_paused) return;
        const size_t size = __sanitizer_get_allocated_size(const_cast<const void*>(pointer));
        size_t live = s_live.load();
        while (!s_live.compare_exchange_weak(live, size < live ? live - size : 0)) {
        }
    }

    static inline std::atomic<size_t> s_live{0};
    static inline std::atomic<size_t> s_peak{0};
    static inline thread_local int s_paused = 0;
    size_t m_start = 0;
};

}  // namespace fuzz
