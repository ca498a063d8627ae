#include "platform/random_bytes.h"

#include <windows.h>
#include <bcrypt.h>

#include <climits>

#include "platform/unique_handle.h"

bool FillRandom(void* buffer, size_t count) {
    // bcrypt.dll is not one of the DLLs Windows always takes from System32, so it is not imported
    // but loaded from there by name.
    const CModule bcrypt(LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!bcrypt || count > ULONG_MAX) return false;
    const auto generate = reinterpret_cast<decltype(&BCryptGenRandom)>(
        reinterpret_cast<void*>(GetProcAddress(bcrypt, "BCryptGenRandom")));
    return generate && BCRYPT_SUCCESS(generate(nullptr, static_cast<PUCHAR>(buffer), ULONG(count),
                                               BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}
