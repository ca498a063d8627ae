// Takes the names of an installation guard first, as a user without administrator rights could:
//   guard_squatter KIND NAME [KIND NAME]...   KIND: event, locked or users
//   (tests/support/guard_squat.h)
// Prints "squatting" once every object is made, then holds them until it is ended (5 minutes at
// most); exits with 2 when one cannot be made.
#include <cstdio>
#include <vector>

#include "tests/support/guard_squat.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<CKernelHandle> held;
    for (int i = 1; i + 1 < argc; i += 2) {
        held.push_back(testing_support::MakeGuardSquat(argv[i], argv[i + 1]));
        if (!held.back()) return 2;
    }
    std::printf("squatting\n");
    std::fflush(stdout);
    Sleep(300000);
    return 0;
}
