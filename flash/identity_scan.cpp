// Proving that a loaded image belongs to the selected drive, and its checksum.
#include <bitset>
#include <cstring>

#include "flash/flash_engine.h"
#include "flash/hex_lines.h"

namespace {

constexpr int kModelMatch = static_cast<int>(scsi::kModelChars);
constexpr int kRevisionMatch = 2;
// The revision must follow within this many bytes, counted from the last
// byte of the model text.
constexpr int kRevisionWindow = 9;

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// A HEX image occupies whole HEX banks up to its last bank advance.
int HexImageBanks(std::int32_t bankAdvances)
{
    int banks = static_cast<int>(kHexBankSize / kBankSize) * (bankAdvances + 1);
    return banks < kBankCount ? banks : kBankCount;
}

// The next place of one byte value at or after a position, found by memchr
// and remembered until the scan passes it: a whole image costs one pass per
// value sought, however often the scan asks.
class NextOccurrence {
public:
    explicit NextOccurrence(std::uint8_t value) : value_(value) {}
    const std::uint8_t* From(const std::uint8_t* p, const std::uint8_t* end)
    {
        if (!at_ || at_ < p) {
            const void* hit = std::memchr(p, value_, static_cast<std::size_t>(end - p));
            at_ = hit ? static_cast<const std::uint8_t*>(hit) : end;
        }
        return at_;
    }

private:
    std::uint8_t value_;
    const std::uint8_t* at_ = nullptr;
};

} // namespace

bool CFlashEngine::CarriesIdentity() const
{
    return m_bHexFile ? ScanHexIdentity() : ScanRawIdentity();
}

bool CFlashEngine::CheckIdentity()
{
    bool found = CarriesIdentity();
    m_wCheckSum = SumBanks(m_bHexFile ? HexImageBanks(m_nBankCount) : kBankCount);
    return found;
}

std::vector<std::string> CFlashEngine::PassingRevisionStarts()
{
    // A pair can pass only where the image holds it, or, for a HEX image,
    // holds its first character before some digit when its second is a
    // digit too (that scan takes any digit for a digit).
    constexpr int kFirst = ' ', kLast = '~', kSpan = kLast - kFirst + 1;
    auto printable = [](std::uint8_t c) { return c >= kFirst && c <= kLast; };
    std::bitset<kSpan * kSpan> held;
    std::bitset<kSpan> beforeDigit;
    const int banks = m_bHexFile ? HexImageBanks(m_nBankCount) : kBankCount;
    std::uint8_t before = 0;
    for (int bank = 0; bank < banks; ++bank) {
        for (const std::uint8_t* p = m_pBank[bank]; p < m_pBank[bank] + kBankSize; ++p) {
            if (printable(before) && printable(*p)) {
                held.set((before - kFirst) * kSpan + (*p - kFirst));
                if (IsDigit(*p))
                    beforeDigit.set(before - kFirst);
            }
            before = *p;
        }
    }
    char kept[sizeof m_szRevision];
    std::memcpy(kept, m_szRevision, sizeof kept);
    std::memset(m_szRevision, 0, sizeof m_szRevision);
    std::vector<std::string> passing;
    for (int first = 0; first < kSpan; ++first) {
        for (int second = 0; second < kSpan; ++second) {
            const bool candidate = held[first * kSpan + second] ||
                                   (m_bHexFile && beforeDigit[first] && IsDigit(kFirst + second));
            if (!candidate)
                continue;
            m_szRevision[0] = static_cast<char>(kFirst + first);
            m_szRevision[1] = static_cast<char>(kFirst + second);
            if (CarriesIdentity())
                passing.emplace_back(m_szRevision, 2);
        }
    }
    std::memcpy(m_szRevision, kept, sizeof kept);
    return passing;
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
        const std::uint8_t* p = m_pBank[bank];
        const std::uint8_t* const end = p + kBankSize;
        // Where each text's first character occurs next in this bank.
        NextOccurrence nextModel(model[0]), nextRevision(revision[0]);
        while (p < end) {
            // A matcher at its start only moves on its text's first character:
            // when both are there (or done), the bytes before the nearer first
            // character change nothing.
            if ((modelFound || j == 0) && (revisionFound || k == 0)) {
                const std::uint8_t* toModel = modelFound ? end : nextModel.From(p, end);
                const std::uint8_t* toRevision = revisionFound ? end : nextRevision.From(p, end);
                p = toModel < toRevision ? toModel : toRevision;
                if (p == end)
                    break;
            }
            const std::uint8_t b = *p++;
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
    // Eight bytes a step: the even and the odd bytes of a word, added into
    // four 16-bit lanes, can take 128 words before a lane could overflow
    // into its neighbour; then the lanes go into the sum.
    constexpr std::uint64_t kEvenBytes = 0x00FF00FF00FF00FFull;
    constexpr std::uint32_t kWordsPerFold = 128;
    static_assert(kBankSize % (8 * kWordsPerFold) == 0);
    std::uint32_t sum = 0;
    for (int bank = 0; bank < banks; ++bank) {
        // Banks start on pages: every word is aligned.
        const auto* bytes = static_cast<const std::uint8_t*>(__builtin_assume_aligned(m_pBank[bank], 8));
        for (std::uint32_t at = 0; at < kBankSize; at += 8 * kWordsPerFold) {
            std::uint64_t lanes = 0;
            for (std::uint32_t w = 0; w < kWordsPerFold; ++w) {
                std::uint64_t word;
                std::memcpy(&word, bytes + at + 8 * w, sizeof word);
                lanes += (word & kEvenBytes) + ((word >> 8) & kEvenBytes);
            }
            sum += static_cast<std::uint32_t>((lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) +
                                              ((lanes >> 32) & 0xFFFF) + (lanes >> 48));
        }
    }
    return static_cast<std::uint16_t>(sum);
}
