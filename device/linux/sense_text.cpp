#include "device/linux/sense_text.h"

#include <scsi/sg_lib.h>

std::string SenseText(const scsi::SenseTriple& triple)
{
    char key[80] = {};
    char additional[160] = {};
    sg_get_sense_key_str(triple.key & scsi::kSenseKeyMask, sizeof key, key);
    sg_get_asc_ascq_str(triple.asc, triple.ascq, sizeof additional, additional);
    std::string text = key;
    // The table's text starts with a heading the log has no use for.
    std::string words = additional;
    const std::string heading = "Additional sense: ";
    if (words.rfind(heading, 0) == 0)
        words.erase(0, heading.size());
    if (!words.empty())
        text += ", " + words;
    return text;
}

std::string CommandName(const std::uint8_t* cdb)
{
    char name[256] = {};
    // Peripheral type 05h: a CD/DVD device, whose commands the name is for.
    sg_get_command_name(cdb, 0x05, sizeof name, name);
    return name;
}
