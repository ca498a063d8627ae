#pragma once
// Owning pointer to a COM interface: releases once, never copies, moves the reference along.

#include <unknwn.h>

#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For out-parameters: drops the current reference first so it cannot leak.
    T** Put() {
        Reset();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    void Reset() {
        if (m_p) std::exchange(m_p, nullptr)->Release();
    }

    template <typename U>
    HRESULT As(ComPtr<U>& target) const {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(__uuidof(U), target.PutVoid());
    }

private:
    T* m_p = nullptr;
};
