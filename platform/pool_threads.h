#pragma once
// Starting the threads of a pool when the system may refuse some of them.

#include <functional>
#include <thread>
#include <vector>

// Up to `count` threads running `body`. The threads that started are the pool, and with none at
// all the caller does the work itself: a refused thread (std::system_error) or memory that runs
// out (std::bad_alloc) is not an error. Never throws, so no started thread is left unjoined.
inline std::vector<std::thread> StartPoolThreads(unsigned count,
                                                 const std::function<void()>& body) {
    std::vector<std::thread> threads;
    try {
        for (unsigned i = 0; i < count; ++i) threads.emplace_back(body);
    } catch (...) {
    }
    return threads;
}
