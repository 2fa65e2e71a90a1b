// What the two image-loader targets share: load bytes from memory as an image
// file, check the loader's promises, run the identity scan and checksum.
#pragma once

#include <cstddef>
#include <cstdint>

// Fails the run (abort) when a promise is broken: the loader reports
// nothing but its kLoad* results, keeps lengths within the buffer, closes the
// file, and holds the buffer after a good load only. `hex` picks the format.
void LoadAndCheck(const std::uint8_t* data, std::size_t size, bool hex);
