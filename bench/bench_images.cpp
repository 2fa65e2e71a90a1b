#include "bench_images.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kImageSize = 0x100000;
constexpr std::size_t kPerRecord = 32;

void AppendRecord(std::string& text, std::uint8_t type, std::uint16_t address,
                  const std::uint8_t* data, std::size_t count)
{
    char field[16];
    std::uint8_t sum = static_cast<std::uint8_t>(count + (address >> 8) + address + type);
    std::snprintf(field, sizeof field, ":%02X%04X%02X", static_cast<unsigned>(count),
                  static_cast<unsigned>(address), static_cast<unsigned>(type));
    text += field;
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(field, sizeof field, "%02X", static_cast<unsigned>(data[i]));
        text += field;
        sum = static_cast<std::uint8_t>(sum + data[i]);
    }
    std::snprintf(field, sizeof field, "%02X\n", static_cast<unsigned>(static_cast<std::uint8_t>(-sum)));
    text += field;
}

std::string ToHex(const std::vector<std::uint8_t>& image, bool standard)
{
    std::string text;
    text.reserve(image.size() * 2 + image.size() / kPerRecord * 14);
    for (std::size_t at = 0; at < image.size(); at += kPerRecord) {
        if (at % 0x10000 == 0 && at != 0) {
            if (standard) {
                std::uint8_t upper[2] = {static_cast<std::uint8_t>(at >> 24),
                                         static_cast<std::uint8_t>(at >> 16)};
                AppendRecord(text, 0x04, 0, upper, 2);
            } else {
                AppendRecord(text, 0x55, 0, nullptr, 0);
            }
        }
        AppendRecord(text, 0x00, static_cast<std::uint16_t>(at & 0xFFFF), image.data() + at, kPerRecord);
    }
    AppendRecord(text, 0x01, 0, nullptr, 0);
    return text;
}

} // namespace

std::vector<std::uint8_t> MakeBenchImage(const char* model, const char* revision)
{
    std::vector<std::uint8_t> image(kImageSize);
    std::uint32_t state = 0x2545F491;
    for (auto& b : image) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    // The identity sits late in the image, so the scan reads most of it.
    std::size_t at = 0xF0000;
    std::memcpy(image.data() + at, model, std::strlen(model));
    std::memcpy(image.data() + at + std::strlen(model), revision, std::strlen(revision));
    return image;
}

std::string ToBankedHex(const std::vector<std::uint8_t>& image) { return ToHex(image, false); }

std::string ToStandardHex(const std::vector<std::uint8_t>& image) { return ToHex(image, true); }
