#include "cli/command_steps.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "flash/warning_texts.h"

namespace {

// The dialog asks only when the confirmation field ends in Y or y. Here a
// field that says neither Y nor N plainly asks too: a list that meant to ask
// must never be taken for one that doesn't.
void WarnOfUnclearFlag(const std::string& path, const ModelListShape& shape, ModelList& list, Console& console)
{
    const char first = shape.flag[0];
    if (shape.flagClosed && shape.flagChars == 1 && (first == 'Y' || first == 'y' || first == 'N' || first == 'n'))
        return;
    list.m_bWarning = 1;
    const std::size_t shown = static_cast<std::size_t>(std::min(shape.flagChars, kFlagShownChars));
    const std::string field =
        Quoted(std::string(shape.flag, shown)) + (shape.flagChars > kFlagShownChars ? "..." : "");
    const std::string what = !shape.flagOpened  ? "the line has no confirmation field"
                             : shape.flagClosed ? "the confirmation field is " + field + ", not Y or N"
                                                : "the confirmation field " + field + " has no closing quote";
    console.Note("kavora-cli: warning: " + path + ":1: " + what + "; an upgrade asks for confirmation");
}

} // namespace

bool ReadList(const std::string& path, ModelList& list, Console& console, const std::string& without)
{
    ModelListShape shape;
    int error = 0;
    const ModelListRead read = ReadModelListFile(path.c_str(), list, &shape, &error);
    const std::string then = without.empty() ? "" : "; " + without;
    // A command that cannot go on without the list refuses.
    const auto unusable = [&](const std::string& text) {
        if (without.empty())
            console.Refuse(text);
        else
            console.Note("kavora-cli: " + text + then);
    };
    switch (read) {
    case ModelListRead::Missing:
    case ModelListRead::Unreadable: {
        const bool absent = read == ModelListRead::Missing && error == ENOENT;
        if (absent && !without.empty())
            unusable("no model list " + path);
        else
            unusable("cannot read the model list " + path + ": " + std::strerror(error) +
                     (absent ? " (the Windows program says \"The IDString.txt doesn't exist!!\")" : ""));
        return false;
    }
    case ModelListRead::BadStart:
        unusable(path + ": its first character must be a double quote" +
                 " (the Windows program says \"Input file context is incorrect!!\")");
        return false;
    case ModelListRead::Ok:
        break;
    }
    // What the reader had to leave out, said once, so that nobody wonders.
    if (shape.quotes < 2)
        console.Note("kavora-cli: warning: " + path +
                     ": the model text has no closing quote; the line must read "
                     "\"MODEL\" \"IMAGE\" \"Y\" (or \"N\")");
    else if (list.m_szModel[0][0] == '\0')
        console.Note("kavora-cli: warning: " + path +
                     ": the line names no image file, so no model is read from it (as in the Windows "
                     "program); it must read \"MODEL\" \"IMAGE\" \"Y\" (or \"N\")");
    else if (shape.quotes < 4)
        console.Note("kavora-cli: warning: " + path +
                     ": the line names no image file; it must read \"MODEL\" \"IMAGE\" \"Y\" (or \"N\")");
    WarnOfUnclearFlag(path, shape, list, console);
    if (shape.modelChars > static_cast<int>(scsi::kModelChars))
        console.Note("kavora-cli: warning: " + path + ": the model text has " +
                     std::to_string(shape.modelChars) + " characters; only its first " +
                     std::to_string(scsi::kModelChars) + " are compared with a drive's");
    return true;
}

void ShowList(const ModelList& list, Console& console)
{
    console.Line("It's only for");
    for (int k = 0; k < list.m_nModelCount; ++k)
        console.Line("(" + std::to_string(k + 1) + ") " + list.m_szModel[k] + ".");
}

bool Confirmed(const std::vector<const Chosen*>& drives, CliContext& context)
{
    Console& console = context.console;
    std::string current;
    for (const Chosen* drive : drives)
        current += "\n\nThe current version of your " + Quoted(drive->id.model) + " firmware is " +
                   drive->id.revision + (drives.size() > 1 ? " (" + drive->name.path + ")" : "");
    console.Note(std::string(warning_text::kGreeting) + current + "\n\nWarning !!\n" +
                 warning_text::kAdvice + "\n\nATTENTION !!\n" + warning_text::kCaution + "\n");
    if (!context.inputIsTerminal) {
        console.Refuse("the model list asks for confirmation and no terminal can give it; "
                       "give --yes to upgrade without asking");
        return false;
    }
    console.Note(std::string(warning_text::kQuestion) + " [y/N]");
    std::string answer;
    std::getline(context.in, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

int PrepareImage(const CliOptions& options, bool write, CliContext& context, Prepared& ready)
{
    Console& console = context.console;
    if (!ReadList(options.list, ready.list, console))
        return kExitRefused;
    const std::string image = options.image.empty() ? std::string(ready.list.m_szFile[0]) : options.image;
    if (image.empty()) {
        console.Refuse("the list names no image and none was given (the Windows program says "
                       "\"Update file name is not assigned.\")");
        return kExitRefused;
    }
    if (!ready.image.Read(image, console))
        return kExitRefused;
    std::string error;
    if (write && !context.drives.MayWrite(error)) {
        console.Refuse(error);
        return kExitRefused;
    }
    return -1;
}

int Prepare(const CliOptions& options, bool write, CliContext& context, Prepared& ready)
{
    if (int status = PrepareImage(options, write, context, ready); status >= 0)
        return status;
    return ChooseDrive(options, ready.list, write, context, ready.drive);
}

FlashParam ParamFor(const Chosen& drive, const ImageFacts& image, Console& console, StopRequest& stop)
{
    FlashParam param{};
    const std::string model = ModelText(drive.id);
    std::snprintf(param.drive.sModel, sizeof param.drive.sModel, "%s", model.c_str());
    std::snprintf(param.drive.sRevision, sizeof param.drive.sRevision, "%s", drive.id.revision.c_str());
    param.drive.byHaId = static_cast<std::uint8_t>(drive.name.host);
    param.drive.byTargetId = static_cast<std::uint8_t>(drive.name.target);
    std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", image.path.c_str());
    std::snprintf(param.szModel, sizeof param.szModel, "%s", model.c_str());
    std::snprintf(param.szRevision, sizeof param.szRevision, "%s", drive.id.revision.c_str());
    param.m_bHexFile = image.hex ? 1 : 0;
    param.callbacks = console.Callbacks(stop);
    param.pStop = &stop;
    param.timeouts = kTimeouts;
    return param;
}

