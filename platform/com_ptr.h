#pragma once
// COM pointers and COM-allocated memory, owned like every other handle.

#include <objbase.h>
#include <unknwn.h>

#include "platform/unique_handle.h"

namespace platform {

template <class TInterface>
struct ComTraits : NullIsInvalid<TInterface*> {
    static void Close(TInterface* object) { object->Release(); }
};

template <class T>
struct CoTaskMemoryTraits : NullIsInvalid<T> {
    static void Close(T memory) { ::CoTaskMemFree(memory); }
};

}  // namespace platform

// Holds one reference to a COM object and releases it once.
template <class TInterface>
class ComPtr : public CUniqueHandle<platform::ComTraits<TInterface>> {
public:
    using CUniqueHandle<platform::ComTraits<TInterface>>::CUniqueHandle;

    TInterface* operator->() const { return this->Get(); }
    // For functions that hand out an interface as void**, such as CoCreateInstance.
    void** PutVoid() { return reinterpret_cast<void**>(this->Put()); }

    template <class TOther>
    HRESULT As(ComPtr<TOther>& target) const {
        if (!this->Get()) return E_POINTER;
        return this->Get()->QueryInterface(__uuidof(TOther), target.PutVoid());
    }
};

// Memory a COM function allocated for its caller, such as a shell item's path.
template <class T>
using CCoTaskMemory = CUniqueHandle<platform::CoTaskMemoryTraits<T>>;
