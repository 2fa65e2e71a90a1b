#include "framework/accessibility.h"

#include <initguid.h>
#include <oleacc.h>
#include <objbase.h>

namespace accessibility {
namespace {

// UI Automation's LiveSetting property, which the annotation service accepts
// like its own MSAA properties; 1 is "polite".
// {C12BCD8E-2A8E-4950-8AE7-3625111D58EB}
const GUID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr long kLivePolite = 1;

// One service per thread: annotations are made on the thread that owns the
// dialog, and COM objects belong to the apartment that made them. It is kept
// for the thread's life and never released: at the process's end oleacc may
// be gone before a thread's objects are destroyed.
struct Service {
    bool tried = false;
    IAccPropServices* services = nullptr;

    IAccPropServices* Get()
    {
        if (tried)
            return services;
        tried = true;
        // CoInitialize, not CoInitializeEx: Windows 95 without DCOM has only
        // the first. A thread already in an apartment answers S_FALSE or
        // RPC_E_CHANGED_MODE; either way COM can be used here.
        const HRESULT init = ::CoInitialize(nullptr);
        if (FAILED(init) && init != RPC_E_CHANGED_MODE)
            return nullptr;
        void* made = nullptr;
        if (SUCCEEDED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IAccPropServices, &made)))
            services = static_cast<IAccPropServices*>(made);
        return services;
    }
};

IAccPropServices* Services()
{
    static thread_local Service service;
    return service.Get();
}

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return {};
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

using NotifyWinEventFn = void(WINAPI*)(DWORD, HWND, LONG, LONG);

} // namespace

void Annotate(HWND control, Property property, const std::string& text)
{
    IAccPropServices* services = control ? Services() : nullptr;
    if (!services)
        return;
    const std::wstring wide = Wide(text);
    const MSAAPROPID id = property == Property::Name ? PROPID_ACC_NAME : PROPID_ACC_DESCRIPTION;
    services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, id, wide.c_str());
}

void MarkLivePolite(HWND control)
{
    IAccPropServices* services = control ? Services() : nullptr;
    if (!services)
        return;
    VARIANT value{};
    value.vt = VT_I4;
    value.lVal = kLivePolite;
    services->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLiveSettingProperty, value);
}

void ClearAnnotations(HWND control)
{
    IAccPropServices* services = control ? Services() : nullptr;
    if (!services)
        return;
    MSAAPROPID ids[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION, kLiveSettingProperty};
    services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, ids, 3);
}

void RaiseEvent(DWORD event, HWND control)
{
    // Windows 98 and 2000 brought the call; asked once.
    static const auto notify = reinterpret_cast<NotifyWinEventFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "NotifyWinEvent")));
    if (notify && control)
        notify(event, control, OBJID_CLIENT, CHILDID_SELF);
}

} // namespace accessibility
