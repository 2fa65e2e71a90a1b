// The memory behind one run's firmware image: committed, read/write, and
// locked into physical memory once the image is complete so that sending
// blocks never waits for paging.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns null when the memory can't be had.
std::uint8_t* AllocateImageRegion(std::size_t size);
// Failures are the caller's to ignore: a region that stays pageable still works.
bool LockImageRegion(std::uint8_t* region, std::size_t size);
bool UnlockImageRegion(std::uint8_t* region, std::size_t size);
void ReleaseImageRegion(std::uint8_t* region, std::size_t size);

// Regions allocated and not yet released, process-wide. Lets tests prove that
// every path through a run gives its region back exactly once.
int ImageRegionsHeld();
// Makes the next allocation fail, as a machine short of memory would.
void FailNextImageAllocation();
// Keeps a released region for the next allocation of the same size instead
// of giving it back to the system, for programs that load image after image
// (the fuzzers). Under AddressSanitizer the kept region is poisoned until it
// is handed out again, so a use after release is still caught.
void ReuseImageRegions(bool reuse);
