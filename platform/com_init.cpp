#include "platform/com_init.h"

CComInit::CComInit() : m_hr(CoInitialize(nullptr)) {}

CComInit::~CComInit() {
    // S_FALSE (already initialised here) still counts and must be balanced.
    if (SUCCEEDED(m_hr)) CoUninitialize();
}
