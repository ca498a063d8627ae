#include "archive/memory_stream.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "platform/com_ptr.h"

namespace {

// Recognises this stream among IStream pointers without a private COM interface.
constexpr GUID kReadOnlyMemoryStreamId = {
    0x6f1d7c52, 0x3a4e, 0x4b8e, {0x9d, 0x21, 0x5c, 0x0e, 0x7a, 0x93, 0x41, 0xb6}};

class CReadOnlyMemoryStream final : public IStream {
public:
    CReadOnlyMemoryStream(const BYTE* data, ULONGLONG size, ULONGLONG position = 0)
        : m_data(data), m_size(size), m_position(position) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) ||
            IsEqualIID(riid, IID_IStream)) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(riid, kReadOnlyMemoryStreamId)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* read) override {
        const ULONG n = ULONG(std::min<ULONGLONG>(count, Available()));
        if (n) std::memcpy(buffer, m_data + m_position, n);
        m_position += n;
        if (read) *read = n;
        return n == count ? S_OK : S_FALSE;
    }
    const BYTE* ReadInPlace(ULONG count) {
        if (count > Available()) return nullptr;
        const BYTE* at = m_data + m_position;
        m_position += count;
        return at;
    }

    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* written) override {
        if (written) *written = 0;
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override {
        LONGLONG base;
        switch (origin) {
            case STREAM_SEEK_SET:
                base = 0;
                break;
            case STREAM_SEEK_CUR:
                base = LONGLONG(m_position);
                break;
            case STREAM_SEEK_END:
                base = LONGLONG(m_size);
                break;
            default:
                return STG_E_INVALIDFUNCTION;
        }
        const LONGLONG target = base + move.QuadPart;
        if (target < 0) return STG_E_INVALIDFUNCTION;
        // Past the end is allowed, as for any stream; reads there deliver nothing.
        m_position = ULONGLONG(target);
        if (position) position->QuadPart = m_position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override {
        if (!target) return STG_E_INVALIDPOINTER;
        ULONGLONG left = std::min<ULONGLONG>(count.QuadPart, Available());
        ULONGLONG done = 0;
        HRESULT result = S_OK;
        while (left) {
            const ULONG chunk = ULONG(std::min<ULONGLONG>(left, 1u << 30));
            ULONG put = 0;
            result = target->Write(m_data + m_position, chunk, &put);
            m_position += chunk;
            done += put;
            left -= chunk;
            if (FAILED(result) || put != chunk) break;
        }
        if (read) read->QuadPart = done;
        if (written) written->QuadPart = done;
        return FAILED(result) ? result : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_size;
        stat->grfMode = STGM_READ;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override {
        if (!clone) return STG_E_INVALIDPOINTER;
        *clone = new (std::nothrow) CReadOnlyMemoryStream(m_data, m_size, m_position);
        return *clone ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~CReadOnlyMemoryStream() = default;
    ULONGLONG Available() const { return m_position < m_size ? m_size - m_position : 0; }

    const BYTE* m_data;
    ULONGLONG m_size;
    ULONGLONG m_position;
    std::atomic<ULONG> m_references{1};
};

}  // namespace

IStream* CreateReadOnlyMemoryStream(const void* data, size_t size) {
    if (!data && size) return nullptr;
    return new (std::nothrow) CReadOnlyMemoryStream(static_cast<const BYTE*>(data), size);
}

const BYTE* ReadMemoryStreamInPlace(IStream* stream, ULONG count) {
    ComPtr<CReadOnlyMemoryStream> memory;
    if (!stream || FAILED(stream->QueryInterface(kReadOnlyMemoryStreamId, memory.PutVoid())) ||
        !memory)
        return nullptr;
    return memory->ReadInPlace(count);
}
