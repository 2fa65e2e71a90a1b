#include "flash/model_list.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Reads one character; a carriage return before a line feed is dropped, as
// a text-mode stream does on Windows, so the reader behaves the same on
// every platform.
int ReadChar(std::FILE* file)
{
    int c = std::fgetc(file);
    if (c == '\r') {
        int next = std::fgetc(file);
        if (next == '\n')
            return next;
        if (next != EOF)
            std::ungetc(next, file);
    }
    return c;
}

} // namespace

ModelListRead ReadModelList(std::FILE* file, ModelList& list, ModelListShape* shape)
{
    ModelListShape ignored;
    ModelListShape& seen = shape ? *shape : ignored;
    seen = ModelListShape{};
    char scratch[kScratchChars] = {};
    std::memset(list.m_szModel, 0, sizeof list.m_szModel);
    std::memset(list.m_szFile, 0, sizeof list.m_szFile);
    list.m_nModelCount = 0;

    if (!file)
        return ModelListRead::Missing;
    const int first = std::fgetc(file);
    if (first == EOF && std::ferror(file))
        return ModelListRead::Unreadable;
    if (first != '"')
        return ModelListRead::BadStart;

    const int entry = 0;
    int quotes = 0;
    int pos = 0;
    bool modelTaken = false;
    char* model = list.m_szModel[entry];
    char* name = list.m_szFile[entry];

    int c = 0;
    while (c != '\n' && c != EOF) {
        c = ReadChar(file);
        if (c == '"') {
            ++quotes;
            if (quotes == 1)
                seen.modelChars = pos;
            seen.flagOpened = seen.flagOpened || quotes == 4;
            seen.flagClosed = seen.flagClosed || quotes == 5;
        } else {
            if (c != EOF && pos >= 0 && pos < kScratchChars)
                scratch[pos] = static_cast<char>(c); // a longer line is cut here
            if (quotes == 4 && c != '\n' && c != EOF) {
                if (seen.flagChars < kFlagShownChars)
                    seen.flag[seen.flagChars] = static_cast<char>(c);
                ++seen.flagChars;
            }
        }

        if (quotes == 2 && !modelTaken) {
            // The opening quote of the file name: the model is complete.
            std::memcpy(model, scratch, kModelSlotChars - 1);
            model[kModelSlotChars - 1] = '\0';
            std::memset(scratch, 0, sizeof scratch);
            pos = -1;
            modelTaken = true;
        }
        if (quotes == 3) {
            // Copy through the current position; the closing quote itself was
            // not stored, so the name ends there. Later characters land behind
            // the terminator and leave the name as it is.
            int length = std::min(pos + 1, kFileSlotChars - 1);
            length = std::min(length, kScratchChars);
            if (length > 0)
                std::memcpy(name, scratch, static_cast<size_t>(length));
            name[std::max(length, 0)] = '\0';
        }
        if (quotes == 4) {
            char flag = (pos >= 0 && pos < kScratchChars) ? scratch[pos] : '\0';
            list.m_bWarning = (flag == 'Y' || flag == 'y') ? 1 : 0;
        }
        ++pos;
    }

    seen.quotes = quotes + 1;
    list.m_nModelCount = entry + 1;
    return ModelListRead::Ok;
}

bool ModelTextsAgree(const char* a, const char* b)
{
    return std::strncmp(a, b, scsi::kModelChars) == 0;
}

int ListedAt(const ModelList& list, const char* model)
{
    int at = -1;
    for (int k = 0; k < list.m_nModelCount && k < kModelSlots; ++k)
        if (ModelTextsAgree(model, list.m_szModel[k]))
            at = k;
    return at;
}

ModelListRead ReadModelListFile(const char* path, ModelList& list, ModelListShape* shape, int* error)
{
    errno = 0;
    std::FILE* file = std::fopen(path, "r");
    const ModelListRead read = ReadModelList(file, list, shape);
    if (error)
        *error = errno;
    if (file)
        std::fclose(file);
    return read;
}
