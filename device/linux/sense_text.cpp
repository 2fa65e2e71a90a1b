#include "device/linux/sense_text.h"

#include <scsi/sg_lib.h>

std::string SenseText(const scsi::SenseTriple& triple)
{
    char key[80] = {};
    char additional[160] = {};
    sg_get_sense_key_str(triple.key & 0x0F, sizeof key, key);
    sg_get_asc_ascq_str(triple.asc, triple.ascq, sizeof additional, additional);
    std::string text = key;
    if (additional[0])
        text += std::string(", ") + additional;
    return text;
}
