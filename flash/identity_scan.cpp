// Proving that a loaded image belongs to the selected drive, and its checksum.
#include <cstring>

#include "flash/flash_engine.h"

namespace {

constexpr int kModelMatch = 24;
constexpr int kRevisionMatch = 2;
// The revision must follow within this many bytes, counted from the last
// byte of the model text.
constexpr int kRevisionWindow = 9;

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// A HEX image occupies whole 64 KiB pieces up to its last bank advance.
int HexImageBanks(std::int32_t bankAdvances)
{
    int banks = 2 * (bankAdvances + 1);
    return banks < kBankCount ? banks : kBankCount;
}

} // namespace

bool CFlashEngine::CheckIdentity()
{
    bool found = m_bHexFile ? ScanHexIdentity() : ScanRawIdentity();
    m_wCheckSum = SumBanks(m_bHexFile ? HexImageBanks(m_nBankCount) : kBankCount);
    return found;
}

bool CFlashEngine::ScanHexIdentity() const
{
    const auto* model = reinterpret_cast<const std::uint8_t*>(m_szModel);
    const auto* revision = reinterpret_cast<const std::uint8_t*>(m_szRevision);
    const int banks = HexImageBanks(m_nBankCount);
    int m = 0, v = 0, d = 0;
    for (int bank = 0; bank < banks; ++bank) {
        const std::uint8_t* bytes = m_pBank[bank];
        const std::uint8_t* end = bytes + kBankSize;
        for (const std::uint8_t* p = bytes; p < end; ++p) {
            if (m == 0) {
                // Nothing matched yet: only the model's first character changes
                // anything, so jump to its next occurrence.
                p = static_cast<const std::uint8_t*>(std::memchr(p, model[0], end - p));
                if (!p)
                    break;
            }
            std::uint8_t b = *p;
            if (m < kModelMatch)
                m = b == model[m] ? m + 1 : 0;
            if (m != kModelMatch)
                continue;
            ++d;
            if (v < kRevisionMatch) {
                if (b == revision[v])
                    ++v;
                else if (v == 1 && IsDigit(revision[1]) && IsDigit(b))
                    ++v;
                else
                    v = 0;
            }
            if (d > kRevisionWindow)
                m = v = d = 0;
            if (m == kModelMatch && v == kRevisionMatch)
                return true;
        }
    }
    return false;
}

bool CFlashEngine::ScanRawIdentity() const
{
    const auto* model = reinterpret_cast<const std::uint8_t*>(m_szModel);
    const auto* revision = reinterpret_cast<const std::uint8_t*>(m_szRevision);
    // Model and revision are sought independently, anywhere in the image.
    int j = 0, k = 0;
    bool modelFound = false, revisionFound = false;
    for (int bank = 0; bank < kBankCount; ++bank) {
        const std::uint8_t* bytes = m_pBank[bank];
        for (std::uint32_t i = 0; i < kBankSize; ++i) {
            std::uint8_t b = bytes[i];
            if (!modelFound) {
                if (b == model[j]) {
                    if (j == kModelMatch - 1)
                        modelFound = true;
                    else
                        ++j;
                } else {
                    j = 0;
                }
            }
            if (!revisionFound) {
                if (b == revision[k]) {
                    if (k == kRevisionMatch - 1)
                        revisionFound = true;
                    else
                        ++k;
                } else {
                    k = 0;
                }
            }
            if (modelFound && revisionFound)
                return true;
        }
    }
    return false;
}

std::uint16_t CFlashEngine::SumBanks(int banks) const
{
    std::uint32_t sum = 0;
    for (int bank = 0; bank < banks; ++bank) {
        const std::uint8_t* bytes = m_pBank[bank];
        for (std::uint32_t i = 0; i < kBankSize; ++i)
            sum += bytes[i];
    }
    return static_cast<std::uint16_t>(sum);
}
