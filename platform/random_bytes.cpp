#include "platform/random_bytes.h"

#include <windows.h>
#include <bcrypt.h>

#include <climits>

#include "platform/dll_search.h"

bool FillRandom(void* buffer, size_t count) {
    // bcrypt.dll is not one of the DLLs Windows always takes from System32, so it is not imported
    // but loaded from there by name.
    const CModule bcrypt = LoadFromSystem32(L"bcrypt.dll");
    if (!bcrypt || count > ULONG_MAX) return false;
    const auto generate = FunctionOf<decltype(&BCryptGenRandom)>(bcrypt, "BCryptGenRandom");
    return generate && BCRYPT_SUCCESS(generate(nullptr, static_cast<PUCHAR>(buffer), ULONG(count),
                                               BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}
