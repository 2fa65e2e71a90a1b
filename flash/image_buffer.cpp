#include "flash/image_buffer.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAVORA_ASAN 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define KAVORA_ASAN 1
#endif
#ifdef KAVORA_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace {
std::atomic<int> g_regionsHeld{0};
std::atomic<bool> g_failNextAllocation{false};

// The one region kept for reuse; only ever touched by a loader's thread.
bool g_reuse = false;
std::uint8_t* g_kept = nullptr;
std::size_t g_keptSize = 0;

void Poison(std::uint8_t* region, std::size_t size, bool poisoned)
{
#ifdef KAVORA_ASAN
    if (poisoned)
        ASAN_POISON_MEMORY_REGION(region, size);
    else
        ASAN_UNPOISON_MEMORY_REGION(region, size);
#else
    (void)region, (void)size, (void)poisoned;
#endif
}
} // namespace

#ifdef _WIN32

static std::uint8_t* PlatformAllocate(std::size_t size)
{
    return static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}
static bool PlatformLock(std::uint8_t* region, std::size_t size)
{
    return VirtualLock(region, size) != FALSE;
}
static bool PlatformUnlock(std::uint8_t* region, std::size_t size)
{
    return VirtualUnlock(region, size) != FALSE;
}
static void PlatformRelease(std::uint8_t* region, std::size_t)
{
    VirtualFree(region, 0, MEM_RELEASE);
}

#else

static std::uint8_t* PlatformAllocate(std::size_t size)
{
    void* region = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return region == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(region);
}
static bool PlatformLock(std::uint8_t* region, std::size_t size)
{
    return mlock(region, size) == 0;
}
static bool PlatformUnlock(std::uint8_t* region, std::size_t size)
{
    return munlock(region, size) == 0;
}
static void PlatformRelease(std::uint8_t* region, std::size_t size) { munmap(region, size); }

#endif

std::uint8_t* AllocateImageRegion(std::size_t size)
{
    if (g_failNextAllocation.exchange(false))
        return nullptr;
    std::uint8_t* region = nullptr;
    if (g_kept && g_keptSize == size) {
        region = g_kept;
        g_kept = nullptr;
        Poison(region, size, false);
    } else {
        region = PlatformAllocate(size);
    }
    if (region)
        ++g_regionsHeld;
    return region;
}

bool LockImageRegion(std::uint8_t* region, std::size_t size) { return PlatformLock(region, size); }

bool UnlockImageRegion(std::uint8_t* region, std::size_t size)
{
    return PlatformUnlock(region, size);
}

void ReleaseImageRegion(std::uint8_t* region, std::size_t size)
{
    if (!region)
        return;
    if (g_reuse && !g_kept) {
        Poison(region, size, true);
        g_kept = region;
        g_keptSize = size;
    } else {
        PlatformRelease(region, size);
    }
    --g_regionsHeld;
}

int ImageRegionsHeld() { return g_regionsHeld.load(); }

void FailNextImageAllocation() { g_failNextAllocation = true; }

void ReuseImageRegions(bool reuse)
{
    g_reuse = reuse;
    if (!reuse && g_kept) {
        Poison(g_kept, g_keptSize, false);
        PlatformRelease(g_kept, g_keptSize);
        g_kept = nullptr;
    }
}
