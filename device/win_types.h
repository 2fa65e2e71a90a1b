// The few Windows names that portable code shares with the Windows build.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
using HANDLE = void*;
#endif
