// How readable one colour is on another, by the measure of the Web Content
// Accessibility Guidelines (WCAG 2): relative luminance and contrast ratio,
// and the nearest colour of the same hue that reads well enough. Colours are
// packed as the system packs them, 0x00BBGGRR. Plain C++, so that the rule
// is tested natively as well as under Windows.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace contrast {

using Colour = std::uint32_t;

// What WCAG asks of ordinary text.
constexpr double kReadable = 4.5;

constexpr int Red(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int Green(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int Blue(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr Colour Pack(int r, int g, int b)
{
    return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}

// Relative luminance, 0 for black to 1 for white.
inline double Luminance(Colour c)
{
    auto linear = [](int channel) {
        const double v = channel / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(Red(c)) + 0.7152 * linear(Green(c)) + 0.0722 * linear(Blue(c));
}

// From 1 (the same luminance) to 21 (black and white), in either order.
inline double Ratio(Colour a, Colour b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct Hsl {
    double h; // 0..6, the sextant of the colour wheel
    double s; // 0..1
    double l; // 0..1
};

inline Hsl ToHsl(Colour c)
{
    const double r = Red(c) / 255.0;
    const double g = Green(c) / 255.0;
    const double b = Blue(c) / 255.0;
    const double hi = std::max({r, g, b});
    const double lo = std::min({r, g, b});
    const double chroma = hi - lo;
    Hsl out{0, 0, (hi + lo) / 2};
    if (chroma <= 0)
        return out;
    out.s = chroma / (1 - std::fabs(2 * out.l - 1));
    if (hi == r)
        out.h = std::fmod((g - b) / chroma + 6, 6);
    else if (hi == g)
        out.h = (b - r) / chroma + 2;
    else
        out.h = (r - g) / chroma + 4;
    return out;
}

inline Colour FromHsl(const Hsl& c)
{
    const double chroma = (1 - std::fabs(2 * c.l - 1)) * c.s;
    const double x = chroma * (1 - std::fabs(std::fmod(c.h, 2) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(c.h) % 6) {
    case 0: r = chroma, g = x; break;
    case 1: r = x, g = chroma; break;
    case 2: g = chroma, b = x; break;
    case 3: g = x, b = chroma; break;
    case 4: r = x, b = chroma; break;
    default: r = chroma, b = x; break;
    }
    const double m = c.l - chroma / 2;
    auto byte = [m](double v) { return static_cast<int>(std::lround(std::clamp(v + m, 0.0, 1.0) * 255)); };
    return Pack(byte(r), byte(g), byte(b));
}

// `text` itself when it reaches `minimum` against `background`; else the
// first colour of its hue and saturation, lightness moved in small steps
// towards the side that gains contrast (darker on a light background,
// lighter on a dark one), that does. Black or white at the end of the way;
// one of them always reaches 4.5.
inline Colour Readable(Colour text, Colour background, double minimum = kReadable)
{
    if (Ratio(text, background) >= minimum)
        return text;
    const bool darker = Ratio(0x000000, background) >= Ratio(0xFFFFFF, background);
    Hsl hsl = ToHsl(text);
    constexpr double kStep = 0.002;
    while (darker ? hsl.l > 0 : hsl.l < 1) {
        hsl.l = std::clamp(hsl.l + (darker ? -kStep : kStep), 0.0, 1.0);
        const Colour candidate = FromHsl(hsl);
        if (Ratio(candidate, background) >= minimum)
            return candidate;
    }
    return darker ? 0x000000 : 0xFFFFFF;
}

} // namespace contrast
