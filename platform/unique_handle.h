#pragma once
// CUniqueHandle<Traits>: the one owner of every kind of handle the programs hold. It closes its
// handle once, when it is destroyed or given another, never copies, and moves the ownership along.
// A traits struct names the raw type, the value that means "no handle" and how to close one:
//
//     struct Traits {
//         using pointer = HKEY;
//         static HKEY Invalid() { return nullptr; }
//         static void Close(HKEY key) { ::RegCloseKey(key); }
//     };

#include <windows.h>

#include <utility>

template <class Traits>
class CUniqueHandle {
public:
    using pointer = typename Traits::pointer;

    CUniqueHandle() = default;
    explicit CUniqueHandle(pointer handle) : m_handle(handle) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_handle(other.Detach()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    // Passed straight to the API that takes the raw handle.
    operator pointer() const { return m_handle; }
    pointer Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Traits::Invalid(); }

    // For the function that makes the handle; whatever was held before is closed first.
    pointer* Put() {
        Reset();
        return &m_handle;
    }
    void Reset(pointer handle = Traits::Invalid()) {
        const pointer old = std::exchange(m_handle, handle);
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    pointer Detach() { return std::exchange(m_handle, Traits::Invalid()); }

private:
    pointer m_handle = Traits::Invalid();
};

namespace platform {

// Most handles mean "none" with null.
template <class T>
struct NullIsInvalid {
    using pointer = T;
    static T Invalid() { return nullptr; }
};

struct KernelHandleTraits : NullIsInvalid<HANDLE> {
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

// CreateFileW and CreateToolhelp32Snapshot report failure as INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
    using pointer = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

// FindFirstFileExW's search, closed with FindClose.
struct FindHandleTraits {
    using pointer = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { ::FindClose(handle); }
};

struct RegistryKeyTraits : NullIsInvalid<HKEY> {
    static void Close(HKEY key) { ::RegCloseKey(key); }
};

struct ModuleTraits : NullIsInvalid<HMODULE> {
    static void Close(HMODULE module) { ::FreeLibrary(module); }
};

// CreatePrivateNamespaceW's namespace, closed (not destroyed) with ClosePrivateNamespace: it goes
// once nobody holds it.
struct PrivateNamespaceTraits : NullIsInvalid<HANDLE> {
    static void Close(HANDLE space) { ::ClosePrivateNamespace(space, 0); }
};

struct BoundaryDescriptorTraits : NullIsInvalid<HANDLE> {
    static void Close(HANDLE boundary) { ::DeleteBoundaryDescriptor(boundary); }
};

// The list lives in memory its owner keeps; DeleteProcThreadAttributeList only releases what
// UpdateProcThreadAttribute put in it.
struct AttributeListTraits : NullIsInvalid<LPPROC_THREAD_ATTRIBUTE_LIST> {
    static void Close(LPPROC_THREAD_ATTRIBUTE_LIST list) { ::DeleteProcThreadAttributeList(list); }
};

template <class T>
struct LocalMemoryTraits : NullIsInvalid<T> {
    static void Close(T memory) { ::LocalFree(memory); }
};

}  // namespace platform

// Processes, threads and other kernel objects.
using CKernelHandle = CUniqueHandle<platform::KernelHandleTraits>;
// Files and snapshots.
using CFileHandle = CUniqueHandle<platform::FileHandleTraits>;
// A folder listing in progress.
using CFindHandle = CUniqueHandle<platform::FindHandleTraits>;
using CRegistryKey = CUniqueHandle<platform::RegistryKeyTraits>;
using CPrivateNamespace = CUniqueHandle<platform::PrivateNamespaceTraits>;
using CBoundaryDescriptor = CUniqueHandle<platform::BoundaryDescriptorTraits>;
// An initialised process and thread attribute list.
using CAttributeList = CUniqueHandle<platform::AttributeListTraits>;
// A DLL loaded at run time.
using CModule = CUniqueHandle<platform::ModuleTraits>;
// Memory a system function allocated with LocalAlloc for its caller.
template <class T>
using CLocalMemory = CUniqueHandle<platform::LocalMemoryTraits<T>>;
