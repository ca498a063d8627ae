#pragma once
// Message maps that read like a table. A map defines ProcessWindowMessage, which returns TRUE
// when an entry consumed the message (its answer in lResult) and FALSE to let the window pass it
// to the standard procedure. A handler has the form
//     LRESULT OnX(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
// and may clear bHandled to let the following entries, and then the standard procedure, see the
// message.
//
//     BEGIN_MSG_MAP(CMyButton)
//         MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
//         CHAIN_MSG_MAP(COwnerDraw<CMyButton>)
//         DEFAULT_REFLECTION_HANDLER()
//     END_MSG_MAP()

#include <windows.h>

#include "windowing/reflection.h"

#define BEGIN_MSG_MAP(theClass)                                                   \
public:                                                                           \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, \
                              LRESULT& lResult, DWORD dwMsgMapID = 0) {           \
        BOOL bHandled = TRUE;                                                     \
        (void)hWnd;                                                               \
        (void)uMsg;                                                               \
        (void)wParam;                                                             \
        (void)lParam;                                                             \
        (void)lResult;                                                            \
        (void)dwMsgMapID;                                                         \
        (void)bHandled;

#define MESSAGE_HANDLER(msg, func)                      \
    if (uMsg == static_cast<UINT>(msg)) {               \
        bHandled = TRUE;                                \
        lResult = func(uMsg, wParam, lParam, bHandled); \
        if (bHandled) return TRUE;                      \
    }

// Offers the message to another map, usually a mix-in's.
#define CHAIN_MSG_MAP(theChainClass)                                                   \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0)) { \
        return TRUE;                                                                   \
    }

// Parent side: sends control notifications back to the control that raised them.
#define REFLECT_NOTIFICATIONS()                                     \
    if (ReflectNotification(hWnd, uMsg, wParam, lParam, lResult)) { \
        return TRUE;                                                \
    }

// Control side, last entry: reflected messages the map left alone get the default answer.
#define DEFAULT_REFLECTION_HANDLER()                                     \
    if (DefaultReflectionHandler(hWnd, uMsg, wParam, lParam, lResult)) { \
        return TRUE;                                                     \
    }

#define END_MSG_MAP() \
    return FALSE;     \
    }
