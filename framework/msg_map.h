// Message maps: a table per window class that ties a message, control id and
// notification code to a member handler, chained to the base class's table.
#pragma once

#include <windows.h>

class CWnd;

using MsgHandler = LRESULT (CWnd::*)(WPARAM, LPARAM);
using CmdHandler = void (CWnd::*)();

struct MsgMapEntry {
    UINT nMessage; // window message
    UINT nID;      // control id (WM_COMMAND entries only)
    UINT nCode;    // notification code (WM_COMMAND entries only)
    MsgHandler pfnMsg;
    CmdHandler pfnCmd;
};

struct MsgMap {
    const MsgMap* pBase;
    const MsgMapEntry* pEntries;
};

// A parent hands some child notifications back to the child's own map under
// this offset, so that a control can answer for itself (its colours, say).
constexpr UINT WM_REFLECT_BASE = 0xBC00;

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const MsgMapEntry messageEntries_[];                                                    \
    static const MsgMap messageMap;                                                                \
    const MsgMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const MsgMap* theClass::GetMessageMap() const { return &theClass::messageMap; }                 \
    const MsgMap theClass::messageMap = {&baseClass::messageMap, theClass::messageEntries_};        \
    const MsgMapEntry theClass::messageEntries_[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, nullptr, nullptr }                                                                  \
    }                                                                                              \
    ;

#define ON_MESSAGE(msg, fn) {(msg), 0, 0, static_cast<MsgHandler>(fn), nullptr},
#define ON_CONTROL(code, id, fn) {WM_COMMAND, (id), (code), nullptr, static_cast<CmdHandler>(fn)},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_CBN_SELENDOK(id, fn) ON_CONTROL(CBN_SELENDOK, id, fn)
#define ON_REFLECT(msg, fn) {WM_REFLECT_BASE + (msg), 0, 0, static_cast<MsgHandler>(fn), nullptr},
