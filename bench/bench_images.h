// The 1 MiB test image and its two HEX spellings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::vector<std::uint8_t> MakeBenchImage(const char* model, const char* revision);
// This program's HEX dialect: 55h records advance 64 KiB.
std::string ToBankedHex(const std::vector<std::uint8_t>& image);
// Standard Intel HEX: 04h extended linear address records.
std::string ToStandardHex(const std::vector<std::uint8_t>& image);
