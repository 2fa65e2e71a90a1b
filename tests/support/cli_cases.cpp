#include "tests/support/cli_cases.h"

const std::vector<SharedCliCase>& SharedCliCases()
{
    static const std::vector<SharedCliCase> cases = {
        {"list", {"list"}, "1.10", 0, "{listed}  \"KAVORA  CD-ROM VIRTUAL  \"  1.00  <- IDString.txt\n"},
        {"list json", {"list", "--json"}, "1.10", 0, "{\"drives\":[{\"listed\":true,\"model\":\"KAVORA  CD-ROM VIRTUAL  \",\"node\":\"{drive}\",\"other\":\"{other}\",\"revision\":\"1.00\"}],\"format\":1,\"list\":\"IDString.txt\"}\n"},
        {"info", {"info", "KV.bin"}, "1.10", 0, "image:       KV.bin (raw, 9000 bytes)\n"
         "image bytes: 9000\n"
         "sent:        9000 bytes in 3 blocks of 4096; no fixed wait after the save\n"
         "Check Sum :  B3DB (as the upgrade logs it)\n"
         "header sum:  83DB (what the download header carries)\n"
         "model \"KAVORA  CD-ROM VIRTUAL  \": carried; the identity scan passes a drive whose revision begins \"  \", \" -\", \" V\", \"!.\", \"\\x22/\", \"#0\", \"$1\", \"%2\", \"&3\", \"'4\", \"(5\", \")6\" and 96 more runs (108 beginnings)\n"},
        {"info json", {"info", "KV.bin", "--json"}, "1.10", 0, "{\"blocks\":3,\"checkSum\":\"B3DB\",\"format\":1,\"headerSum\":\"83DB\",\"image\":\"KV.bin\",\"imageLength\":9000,\"kind\":\"bin\",\"models\":[{\"carried\":true,\"file\":\"KV.bin\",\"model\":\"KAVORA  CD-ROM VIRTUAL  \",\"passingRevisions\":[\"  \",\" -\",\" V\",\"!.\",\"\\\"/\",\"#0\",\"$1\",\"%2\",\"&3\",\"'4\",\"(5\",\")6\",\"*7\",\"+8\",\",9\",\"-:\",\"-R\",\".1\",\".;\",\"/<\",\"0=\",\"0m\",\"1.\",\"10\",\"1>\",\"2?\",\"3@\",\"4A\",\"5B\",\"6C\",\"7D\",\"8E\",\"9F\",\":G\",\";H\",\"<I\",\"=J\",\">K\",\"?L\",\"@M\",\"A \",\"AL\",\"AN\",\"AV\",\"BO\",\"CD\",\"CP\",\"D-\",\"DQ\",\"ER\",\"FS\",\"GT\",\"HU\",\"IR\",\"IV\",\"JW\",\"KA\",\"KX\",\"L \",\"LY\",\"M \",\"MZ\",\"N[\",\"OM\",\"OR\",\"O\\\\\",\"P]\",\"Q^\",\"RA\",\"RO\",\"RT\",\"R_\",\"S`\",\"TU\",\"Ta\",\"UA\",\"Ub\",\"VI\",\"VO\",\"Vc\",\"Wd\",\"Xe\",\"Yf\",\"Zg\",\"[h\",\"\\\\i\",\"]j\",\"^k\",\"_l\",\"`m\",\"an\",\"bo\",\"cp\",\"dq\",\"er\",\"fs\",\"gt\",\"hu\",\"iv\",\"jw\",\"kx\",\"ly\",\"mz\",\"n{\",\"o|\",\"p}\",\"q~\",\"sK\"]}],\"programmingWaits\":0,\"sentLength\":9000,\"size\":9000}\n"},
        {"check", {"check"}, "1.10", 0, "It's only for\n"
         "(1) KAVORA  CD-ROM VIRTUAL  .\n"
         "Check Sum : B3DB\n"},
        {"check json", {"check", "--drive", "{drive}", "--json"}, "1.10", 0, "{\"checkSum\":\"B3DB\",\"drive\":\"{drive}\",\"forDrive\":true,\"format\":1,\"image\":\"KV.bin\",\"model\":\"KAVORA  CD-ROM VIRTUAL  \",\"revision\":\"1.00\",\"verdict\":\"KV.bin carries \\\"KAVORA  CD-ROM VIRTUAL  \\\" and revision \\\"1.\\\": it is for the drive at {drive}\"}\n"},
        {"check refuses", {"check"}, "2.10", 1, "It's only for\n"
         "(1) KAVORA  CD-ROM VIRTUAL  .\n"
         "Check Sum : B3DC\n"
         "It is an incorrect firmware version!\n"},
        {"check refuses json", {"check", "--json"}, "2.10", 1, "{\"checkSum\":\"B3DC\",\"drive\":\"{drive}\",\"forDrive\":false,\"format\":1,\"image\":\"KV.bin\",\"model\":\"KAVORA  CD-ROM VIRTUAL  \",\"revision\":\"1.00\",\"verdict\":\"KV.bin is not for the drive at {drive}: it does not carry \\\"KAVORA  CD-ROM VIRTUAL  \\\" with revision \\\"1.\\\"\"}\n"},
        {"upgrade", {"upgrade", "--drive", "{drive}"}, "1.10", 0, "It's only for\n"
         "(1) KAVORA  CD-ROM VIRTUAL  .\n"
         "Check Sum : B3DB\n"
         "Please wait a minute.....\n"
         "Please Restart Your Computer.\n"},
        {"upgrade json", {"upgrade", "--json"}, "1.10", 0, "{\"exitStatus\":0,\"explanation\":\"\",\"failedCommand\":\"\",\"format\":1,\"model\":\"KAVORA  CD-ROM VIRTUAL  \",\"modelAfter\":\"KAVORA  CD-ROM VIRTUAL  \",\"node\":\"{drive}\",\"result\":\"upgraded\",\"revisionAfter\":\"1.10\",\"revisionBefore\":\"1.00\",\"state\":\"upgraded\",\"stateWords\":\"Upgraded: the drive now reports revision 1.10; it reported 1.00 before.\"}\n"},
        {"upgrade refuses", {"upgrade"}, "2.10", 1, "It's only for\n"
         "(1) KAVORA  CD-ROM VIRTUAL  .\n"
         "It is an incorrect firmware version!\n"
         "Flashing is incorrect!!\n"},
        {"upgrade refuses json", {"upgrade", "--json"}, "2.10", 1, "{\"exitStatus\":1,\"explanation\":\"refused before anything was sent: the image does not carry the drive's model with its revision\",\"failedCommand\":\"\",\"format\":1,\"model\":\"KAVORA  CD-ROM VIRTUAL  \",\"modelAfter\":\"\",\"node\":\"{drive}\",\"result\":\"refused\",\"revisionAfter\":\"\",\"revisionBefore\":\"1.00\",\"state\":\"old firmware\",\"stateWords\":\"Nothing was saved to the drive: it still has its old firmware.\"}\n"},
        {"usage error", {"upgrade", "--drive"}, "1.10", 64, ""},
        {"usage error json", {"upgrade", "--json", "--frobnicate"}, "1.10", 64, "{\"error\":{\"exitStatus\":64,\"message\":\"unknown option '--frobnicate'\"},\"format\":1}\n"},
        {"unknown command json", {"flash", "--json"}, "1.10", 64, "{\"error\":{\"exitStatus\":64,\"message\":\"unknown command 'flash'\"},\"format\":1}\n"},
    };
    return cases;
}

std::string Filled(std::string text, const DriveNaming& naming)
{
    const std::pair<const char*, const std::string*> holes[] = {
        {"{drive}", &naming.drive}, {"{other}", &naming.other}, {"{listed}", &naming.listed}};
    for (const auto& [hole, value] : holes)
        for (std::size_t at = text.find(hole); at != std::string::npos; at = text.find(hole, at + value->size()))
            text.replace(at, std::string(hole).size(), *value);
    return text;
}
