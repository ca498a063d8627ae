// Stands in for a running copy of the product: it only waits until it is ended.
#include <windows.h>

int main() {
    Sleep(60000);
    return 0;
}
