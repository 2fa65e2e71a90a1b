#include "flash/image_kind.h"

#include <cstring>

namespace {

bool SameLetters(const char* text, const char* lower)
{
    for (; *lower; ++text, ++lower) {
        char c = *text;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != *lower)
            return false;
    }
    return *text == '\0';
}

} // namespace

ImageKind ImageKindOf(const char* path)
{
    const char* extension = std::strrchr(path, '.');
    if (!extension)
        return ImageKind::Other;
    if (SameLetters(extension, ".hex"))
        return ImageKind::Hex;
    if (SameLetters(extension, ".bin"))
        return ImageKind::Raw;
    return ImageKind::Other;
}
