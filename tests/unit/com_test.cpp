#include "platform/com_init.h"
#include "platform/com_ptr.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// Counts references so a leak or a double release shows up as a wrong number.
class CountingUnknown : public IUnknown {
public:
    ULONG refs = 1;
    int releases = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!IsEqualIID(iid, IID_IUnknown)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ++releases;
        return --refs;
    }
};

void Attach(ComPtr<IUnknown>& ptr, CountingUnknown& object) {
    *ptr.Put() = &object;
}

TEST(ComPtr, ReleasesEveryReferenceExactlyOnce) {
    CountingUnknown a, b, c;
    {
        ComPtr<IUnknown> first;
        Attach(first, a);
        ComPtr<IUnknown> moved(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(moved.Get(), &a);

        ComPtr<IUnknown> other;
        Attach(other, b);
        other = std::move(moved);  // drops b, takes a
        EXPECT_EQ(b.refs, 0u);
        EXPECT_EQ(a.releases, 0);

        Attach(other, c);  // Put drops a before handing out the slot
        EXPECT_EQ(a.refs, 0u);
    }
    for (const CountingUnknown* object : {&a, &b, &c}) {
        EXPECT_EQ(object->releases, 1);
        EXPECT_EQ(object->refs, 0u);
    }
}

TEST(ComPtr, AsHoldsItsOwnReference) {
    CountingUnknown object;
    ComPtr<IUnknown> empty, target;
    EXPECT_EQ(empty.As(target), E_POINTER);
    {
        ComPtr<IUnknown> ptr;
        Attach(ptr, object);
        ASSERT_EQ(ptr.As(target), S_OK);
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);
    target.Reset();
    EXPECT_EQ(object.refs, 0u);
}

// The first single-threaded apartment of a process is its main one; either kind will do here.
APTTYPE CurrentApartment(HRESULT* result) {
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier;
    *result = CoGetApartmentType(&type, &qualifier);
    return type == APTTYPE_MAINSTA ? APTTYPE_STA : type;
}

TEST(ComInit, GivesTheThreadAnApartmentAndTakesItBack) {
    std::thread([] {
        HRESULT hr;
        {
            CComInit com;
            EXPECT_TRUE(com.Initialized());
            EXPECT_EQ(CurrentApartment(&hr), APTTYPE_STA);
            {
                CComInit nested;
                EXPECT_EQ(nested.Result(), S_FALSE);
            }
            EXPECT_EQ(CurrentApartment(&hr), APTTYPE_STA) << "the nested guard ended COM early";
            EXPECT_EQ(hr, S_OK);
        }
        CurrentApartment(&hr);
        EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
    }).join();
}

TEST(ComInit, LeavesAnotherApartmentModelAlone) {
    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            CComInit com;
            EXPECT_FALSE(com.Initialized());
            EXPECT_EQ(com.Result(), RPC_E_CHANGED_MODE);
        }
        HRESULT hr;
        EXPECT_EQ(CurrentApartment(&hr), APTTYPE_MTA);
        EXPECT_EQ(hr, S_OK) << "the guard uninitialised COM it had not initialised";
        CoUninitialize();
    }).join();
}

}  // namespace
