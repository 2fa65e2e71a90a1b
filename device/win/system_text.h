// The system's own words for an error code, as the programs' messages quote
// it: "Access is denied (error 5)".
#pragma once

#include <windows.h>

#include <string>

std::string SystemText(DWORD error);
