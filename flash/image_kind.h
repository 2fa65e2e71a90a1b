// Which loader an image file takes, from its name: the text after the last
// dot, ".hex" (Intel HEX) or ".bin" (raw), in any case.
#pragma once

enum class ImageKind { Hex, Raw, Other };

ImageKind ImageKindOf(const char* path);
