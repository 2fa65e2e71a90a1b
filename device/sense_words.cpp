#include "device/sense_words.h"

#include <algorithm>
#include <cstdio>

std::string SenseCodes(const scsi::SenseTriple& triple)
{
    char codes[16];
    // The key as the tables list it, without the flag bits beside it.
    std::snprintf(codes, sizeof codes, "%02X/%02X/%02X", triple.key & scsi::kSenseKeyMask, triple.asc, triple.ascq);
    return codes;
}

std::string SenseWords(const scsi::SenseTriple& triple)
{
    using sense_table::Entry;
    std::string text = sense_table::kKeyNames[triple.key & scsi::kSenseKeyMask];
    const Entry* begin = sense_table::kEntries;
    const Entry* end = begin + sense_table::kEntryCount;
    const Entry* found = std::lower_bound(begin, end, triple, [](const Entry& e, const scsi::SenseTriple& t) {
        return e.asc != t.asc ? e.asc < t.asc : e.ascq < t.ascq;
    });
    if (found != end && found->asc == triple.asc && found->ascq == triple.ascq) {
        text += ", ";
        text += found->text;
    } else if (triple.asc != 0 || triple.ascq != 0) {
        char codes[64];
        std::snprintf(codes, sizeof codes, ", ASC %02Xh ASCQ %02Xh (vendor specific or reserved)", triple.asc,
                      triple.ascq);
        text += codes;
    }
    return text;
}

std::string CommandNameOf(const std::uint8_t* cdb)
{
    using sense_table::CommandVariant;
    const CommandVariant* begin = sense_table::kCommandVariants;
    const CommandVariant* end = begin + sense_table::kCommandVariantCount;
    const CommandVariant key{cdb[0], static_cast<std::uint8_t>(cdb[1] & 0x1F), nullptr};
    const CommandVariant* found = std::lower_bound(begin, end, key, [](const CommandVariant& a, const CommandVariant& b) {
        return a.opcode != b.opcode ? a.opcode < b.opcode : a.action < b.action;
    });
    if (found != end && found->opcode == key.opcode && found->action == key.action)
        return found->text;
    return sense_table::kCommandNames[cdb[0]];
}
