#pragma once
// Bytes from the system's cryptographic random number generator, for names nobody can guess.

#include <cstddef>

// False when the generator cannot be reached; `buffer` is then not to be used.
bool FillRandom(void* buffer, size_t count);
