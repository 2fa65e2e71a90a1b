// Writes, as C++ source, the table of sense keys and additional sense codes
// (ASC/ASCQ) in the T10 wording that libsgutils2 keeps, and the names of the
// commands of a CD/DVD device, so that the Windows programs, which cannot
// link that library, say a drive's answer and name a command in the same
// words as the Linux program. Run by the build; its output is compiled in.
//   sense_table_gen > sense_table.cpp
#include <scsi/sg_lib.h>

#include <cstdio>
#include <cstring>

namespace {

// A C string literal of `text`.
void Literal(const char* text)
{
    std::putchar('"');
    for (const char* c = text; *c; ++c) {
        if (*c == '"' || *c == '\\')
            std::putchar('\\');
        std::putchar(*c);
    }
    std::putchar('"');
}

} // namespace

int main()
{
    static const char kHeading[] = "Additional sense: ";
    char text[256];
    std::puts("// Made by tools/sense_table_gen.cpp from libsgutils2's tables; do not edit.");
    std::puts("#include \"device/sense_words.h\"\n");
    std::puts("namespace sense_table {\n");
    std::puts("const char* const kKeyNames[16] = {");
    for (int key = 0; key < 16; ++key) {
        sg_get_sense_key_str(key, sizeof text, text);
        std::fputs("    ", stdout);
        Literal(text);
        std::puts(",");
    }
    std::puts("};\n");
    std::puts("const Entry kEntries[] = {");
    int count = 0;
    for (int asc = 0; asc < 256; ++asc) {
        for (int ascq = 0; ascq < 256; ++ascq) {
            sg_get_asc_ascq_str(asc, ascq, sizeof text, text);
            // Codes the standards name; vendor and reserved ones are not.
            if (std::strncmp(text, kHeading, sizeof kHeading - 1) != 0)
                continue;
            std::printf("    {0x%02X, 0x%02X, ", asc, ascq);
            Literal(text + sizeof kHeading - 1);
            std::puts("},");
            ++count;
        }
    }
    std::puts("};\n");
    std::printf("const std::size_t kEntryCount = %d;\n\n", count);
    // By operation code, with the rest of the block zero; and where the
    // name changes with the low five bits of byte 1 (WRITE BUFFER's mode, a
    // service action), one entry for each of those.
    std::puts("const char* const kCommandNames[256] = {");
    for (int opcode = 0; opcode < 256; ++opcode) {
        unsigned char cdb[16] = {static_cast<unsigned char>(opcode)};
        // Peripheral type 05h: a CD/DVD device, whose commands these are.
        sg_get_command_name(cdb, 0x05, sizeof text, text);
        std::fputs("    ", stdout);
        Literal(text);
        std::puts(",");
    }
    std::puts("};\n");
    std::puts("const CommandVariant kCommandVariants[] = {");
    int variants = 0;
    for (int opcode = 0; opcode < 256; ++opcode) {
        char plain[256];
        unsigned char cdb[16] = {static_cast<unsigned char>(opcode)};
        sg_get_command_name(cdb, 0x05, sizeof plain, plain);
        for (int action = 1; action < 32; ++action) {
            cdb[1] = static_cast<unsigned char>(action);
            sg_get_command_name(cdb, 0x05, sizeof text, text);
            if (std::strcmp(text, plain) == 0)
                continue;
            std::printf("    {0x%02X, 0x%02X, ", opcode, action);
            Literal(text);
            std::puts("},");
            ++variants;
        }
    }
    std::puts("};\n");
    std::printf("const std::size_t kCommandVariantCount = %d;\n", variants);
    std::puts("\n} // namespace sense_table");
    return count > 0 ? 0 : 1;
}
