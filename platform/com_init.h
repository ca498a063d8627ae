#pragma once
// Initialises COM (apartment-threaded) on the calling thread for the guard's lifetime.

#include <objbase.h>

class CComInit {
public:
    CComInit();
    ~CComInit();
    CComInit(const CComInit&) = delete;
    CComInit& operator=(const CComInit&) = delete;

    // False when the thread already runs COM in another apartment model; COM is still usable
    // then, but this guard must not uninitialise what it did not initialise.
    bool Initialized() const { return SUCCEEDED(m_hr); }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};
