#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "flash/model_list.h"

namespace {

// Runs the reader over `content` as the whole file.
ModelListRead Read(const std::string& content, ModelList& list)
{
    std::FILE* file = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), file);
    std::rewind(file);
    ModelListRead result = ReadModelList(file, list);
    std::fclose(file);
    return result;
}

const char kModel[] = "KAVORA  CD-ROM VIRTUAL  ";

struct Case {
    const char* name;
    std::string content;
    ModelListRead result;
    std::string model;
    std::string file;
    int warning;
};

class ModelListRead_ : public ::testing::TestWithParam<Case> {};

TEST_P(ModelListRead_, ReadsFirstLine)
{
    const Case& c = GetParam();
    ModelList list;
    list.m_bWarning = 0;
    ASSERT_EQ(Read(c.content, list), c.result);
    if (c.result != ModelListRead::Ok) {
        EXPECT_EQ(list.m_nModelCount, 0);
        return;
    }
    EXPECT_EQ(list.m_nModelCount, 1);
    EXPECT_EQ(std::string(list.m_szModel[0]), c.model);
    EXPECT_EQ(std::string(list.m_szFile[0]), c.file);
    EXPECT_EQ(list.m_bWarning, c.warning);
    // Only the first slot is ever filled.
    EXPECT_EQ(list.m_szModel[1][0], '\0');
    EXPECT_EQ(list.m_szFile[1][0], '\0');
}

const Case kCases[] = {
    {"WellFormed", "\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"N\"\n", ModelListRead::Ok, kModel, "KV110.hex", 0},
    {"CrLfAndCommas", "\"KAVORA  CD-ROM VIRTUAL  \",\"KV110.bin\",\"Y\"\r\n", ModelListRead::Ok, kModel, "KV110.bin", 1},
    {"LowerCaseY", "\"M\"\t\"f.hex\"\t\"y\"", ModelListRead::Ok, "M", "f.hex", 1},
    {"YThenN", "\"M\" \"f.hex\" \"YN\"\n", ModelListRead::Ok, "M", "f.hex", 0},
    {"NThenY", "\"M\" \"f.hex\" \"NY\"\n", ModelListRead::Ok, "M", "f.hex", 1},
    {"EmptyFlag", "\"M\" \"f.hex\" \"\"\n", ModelListRead::Ok, "M", "f.hex", 0},
    {"TrimmedBlanksKept", "\"KAVORA CD-ROM VIRTUAL\" \"f.hex\" \"N\"\n", ModelListRead::Ok, "KAVORA CD-ROM VIRTUAL", "f.hex", 0},
    {"LongModelCutAt24", "\"KAVORA  CD-ROM VIRTUAL  EXTRA\" \"f.hex\" \"N\"\n", ModelListRead::Ok, kModel, "f.hex", 0},
    {"SecondLineIgnored", "\"A\" \"a.hex\" \"N\"\n\"B\" \"b.hex\" \"Y\"\n", ModelListRead::Ok, "A", "a.hex", 0},
    {"MissingFlag", "\"M\" \"f.hex\"\n", ModelListRead::Ok, "M", "f.hex", 0},
    // The model is taken at the opening quote of the file name.
    {"ModelOnly", "\"M\"\n", ModelListRead::Ok, "", "", 0},
    {"TextAfterNameNotPartOfIt", "\"M\" \"f.hex\" junk \"N\"\n", ModelListRead::Ok, "M", "f.hex", 0},
    {"UnclosedNameKeepsLineFeed", "\"M\" \"f.hex\n", ModelListRead::Ok, "M", "", 0},
    {"ByteOrderMark", "\xEF\xBB\xBF\"M\" \"f.hex\" \"N\"\n", ModelListRead::BadStart, "", "", 0},
    {"LeadingBlank", " \"M\" \"f.hex\" \"N\"\n", ModelListRead::BadStart, "", "", 0},
    {"Empty", "", ModelListRead::BadStart, "", "", 0},
};

INSTANTIATE_TEST_SUITE_P(Lines, ModelListRead_, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The confirmation field as written, for a front end that reads it strictly;
// the dialog's flag stays as it reads it.
TEST(ModelList, ShapeGivesTheConfirmationFieldAsWritten)
{
    struct FlagCase {
        std::string line;
        bool opened, closed;
        std::string chars;
        int flagChars;
        int warning;
    } cases[] = {
        {"\"M\" \"f.hex\" \"Y\"\n", true, true, "Y", 1, 1},
        {"\"M\" \"f.hex\" \"yes\"\r\n", true, true, "yes", 3, 0},
        {"\"M\" \"f.hex\" \"Y \"\n", true, true, "Y ", 2, 0},
        {"\"M\" \"f.hex\" \"\"\n", true, true, "", 0, 0},
        {"\"M\" \"f.hex\"\n", false, false, "", 0, 0},
        {"\"M\" \"f.hex\" \"y\n", true, false, "y", 1, 0},
        {"\"M\" \"f.hex\" \"" + std::string(40, 'Y') + "\"\n", true, true, std::string(16, 'Y'), 40, 1},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.line);
        std::FILE* file = std::tmpfile();
        std::fwrite(c.line.data(), 1, c.line.size(), file);
        std::rewind(file);
        ModelList list;
        ModelListShape shape;
        ASSERT_EQ(ReadModelList(file, list, &shape), ModelListRead::Ok);
        std::fclose(file);
        EXPECT_EQ(shape.flagOpened, c.opened);
        EXPECT_EQ(shape.flagClosed, c.closed);
        EXPECT_EQ(std::string(shape.flag), c.chars);
        EXPECT_EQ(shape.flagChars, c.flagChars);
        EXPECT_EQ(list.m_bWarning, c.warning);
    }
}

TEST(ModelList, MissingFileIsReported)
{
    ModelList list;
    EXPECT_EQ(ReadModelList(nullptr, list), ModelListRead::Missing);
    EXPECT_EQ(list.m_nModelCount, 0);
}

TEST(ModelList, LongFieldsAreCutAtTheirSlots)
{
    // A file name of 100 characters and a model of 200: nothing is written
    // past the 80-character scratch area or the slots.
    std::string longName(100, 'n');
    std::string longModel(200, 'm');
    ModelList list;
    ASSERT_EQ(Read("\"" + longModel + "\" \"" + longName + ".hex\" \"Y\"\n", list), ModelListRead::Ok);
    EXPECT_EQ(std::strlen(list.m_szModel[0]), 24u);
    EXPECT_EQ(std::strlen(list.m_szFile[0]), 59u);
    EXPECT_EQ(std::string(list.m_szFile[0]), std::string(59, 'n'));
}

TEST(ModelList, UnterminatedLongLineStaysInBounds)
{
    std::string content = "\"M\" \"" + std::string(5000, 'x') + "\"";
    ModelList list;
    ASSERT_EQ(Read(content, list), ModelListRead::Ok);
    EXPECT_EQ(std::strlen(list.m_szFile[0]), 59u);
}

TEST(ModelList, ModelsAgreeOnFirst24Characters)
{
    EXPECT_TRUE(ModelTextsAgree("KAVORA  CD-ROM VIRTUAL  (0)", kModel));
    EXPECT_TRUE(ModelTextsAgree(kModel, kModel));
    EXPECT_FALSE(ModelTextsAgree("KAVORA  CD-ROM VIRTUAL(0)", kModel));
    EXPECT_FALSE(ModelTextsAgree("KAVORA", kModel));
    EXPECT_TRUE(ModelTextsAgree("", ""));
}

// The entry a drive is listed at: the last that names its model, so that a
// list naming one model twice gives the later file, as the dialog takes it;
// entries past the count are not the list's.
TEST(ModelList, ListedAtTheLastEntryThatNamesTheModel)
{
    ModelList list;
    std::snprintf(list.m_szModel[0], kModelSlotChars, "%s", kModel);
    std::snprintf(list.m_szModel[1], kModelSlotChars, "%s", "OTHER   CD-ROM          ");
    std::snprintf(list.m_szModel[2], kModelSlotChars, "%s", kModel);
    std::snprintf(list.m_szModel[3], kModelSlotChars, "%s", "LATE    CD-ROM          ");
    list.m_nModelCount = 3;
    EXPECT_EQ(ListedAt(list, "KAVORA  CD-ROM VIRTUAL  (0)"), 2);
    EXPECT_EQ(ListedAt(list, "OTHER   CD-ROM          (1)"), 1);
    EXPECT_EQ(ListedAt(list, "LATE    CD-ROM          (0)"), -1);
    EXPECT_EQ(ListedAt(list, "KAVORA"), -1);
    list.m_nModelCount = 0;
    EXPECT_EQ(ListedAt(list, kModel), -1);
}

} // namespace
