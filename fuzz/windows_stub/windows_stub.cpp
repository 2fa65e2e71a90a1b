// The system calls of the Windows stand-in. The heap is malloc's, so that
// AddressSanitizer watches every buffer the drive access code allocates;
// events are plain flags. What reaches a real device or library aborts: the
// fuzz target must have put its own system behind the device seam.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "fuzz/require.h"
#include "fuzz/windows_stub/live_events.h"

namespace {

thread_local DWORD g_lastError = 0;

struct Event {
    bool manualReset;
    bool signaled;
};

std::set<Event*>& Events()
{
    static std::set<Event*> events;
    return events;
}

[[noreturn]] void NoRealSystem(const char* call)
{
    std::fprintf(stderr, "broken: %s reached the real system\n", call);
    std::abort();
}

Event* LiveEvent(HANDLE handle)
{
    auto* event = static_cast<Event*>(handle);
    Require(Events().count(event) != 0, "an event call on a handle that is no open event");
    return event;
}

} // namespace

HANDLE CreateFileA(const char*, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) { NoRealSystem("CreateFileA"); }
BOOL DeviceIoControl(HANDLE, DWORD, void*, DWORD, void*, DWORD, DWORD*, void*) { NoRealSystem("DeviceIoControl"); }
HMODULE LoadLibraryA(const char*) { NoRealSystem("LoadLibraryA"); }
HMODULE GetModuleHandleA(const char*) { NoRealSystem("GetModuleHandleA"); }
FARPROC GetProcAddress(HMODULE, const char*) { NoRealSystem("GetProcAddress"); }
BOOL FreeLibrary(HMODULE) { NoRealSystem("FreeLibrary"); }

HANDLE GetProcessHeap()
{
    static int heap;
    return &heap;
}

void* HeapAlloc(HANDLE, DWORD flags, SIZE_T size)
{
    // Nothing the drive access code allocates needs a megabyte; a size like
    // that came from a number a driver made up, and on a 32-bit system the
    // same arithmetic would have wrapped around.
    if (size > (1u << 20)) {
        std::fprintf(stderr, "broken: a heap request of %zu bytes\n", size);
        std::abort();
    }
    return flags & HEAP_ZERO_MEMORY ? std::calloc(1, size) : std::malloc(size);
}

BOOL HeapFree(HANDLE, DWORD, void* block)
{
    std::free(block);
    return TRUE;
}

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD error) { g_lastError = error; }

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*)
{
    auto* event = new Event{manualReset != FALSE, initialState != FALSE};
    Events().insert(event);
    return event;
}

BOOL SetEvent(HANDLE handle)
{
    LiveEvent(handle)->signaled = true;
    return TRUE;
}

BOOL ResetEvent(HANDLE handle)
{
    LiveEvent(handle)->signaled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    Event* event = LiveEvent(handle);
    if (!event->signaled) {
        Require(milliseconds != INFINITE, "waits forever for an event nobody will set");
        return WAIT_TIMEOUT;
    }
    if (!event->manualReset)
        event->signaled = false;
    return WAIT_OBJECT_0;
}

// Device handles belong to the fuzz target's system; only events come here.
BOOL CloseHandle(HANDLE handle)
{
    Event* event = LiveEvent(handle);
    Events().erase(event);
    delete event;
    return TRUE;
}

int LiveEventCount() { return static_cast<int>(Events().size()); }
