#include "flash/hex_lines.h"

bool IsRecordButForMark(const std::uint8_t* line, std::size_t length, std::uint32_t& mark)
{
    if (length > 0 && line[length - 1] == '\r')
        --length;
    // Digits come in pairs: an odd length leaves one character for the mark.
    const std::size_t start = length % 2;
    if (length - start < 2 * 5)
        return false;
    std::uint8_t sum = 0;
    std::size_t count = 0;
    for (std::size_t i = start; i < length; i += 2) {
        const std::uint8_t high = kHexDigitValue[line[i] & 0x7F];
        const std::uint8_t low = kHexDigitValue[line[i + 1] & 0x7F];
        if ((high | low) > 0x0F)
            return false;
        const std::uint8_t value = static_cast<std::uint8_t>(high * 16 + low);
        if (i == start) {
            count = value;
            if (length - start != 2 * (5 + count))
                return false;
        }
        sum = static_cast<std::uint8_t>(sum + value);
    }
    if (sum != 0)
        return false;
    mark = start ? line[0] : kNoMark;
    return true;
}

bool SkippedLines::Take(const std::uint8_t* from, const std::uint8_t* to, std::uint64_t at, bool first)
{
    if (first) {
        whole_ = at == 0;
        lineEnds_ = 0;
        length_ = 0;
        lineAt_ = at;
    }
    for (const std::uint8_t* p = from; p < to; ++p) {
        if (*p == '\n') {
            if (whole_ && IsRecordButForMark(line_, length_, mark_))
                return true;
            ++lineEnds_;
            whole_ = true;
            length_ = 0;
            lineAt_ = at + static_cast<std::uint64_t>(p - from) + 1;
        } else if (whole_) {
            if (length_ < sizeof line_)
                line_[length_++] = *p;
            else
                whole_ = false; // too long for a record
        }
    }
    return false;
}

bool SkippedLines::TakeEnd()
{
    return whole_ && IsRecordButForMark(line_, length_, mark_);
}
