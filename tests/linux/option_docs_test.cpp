// The manual page's OPTIONS and the bash completion say what the option
// table says: every option with its letter and value, and after each
// command the completion offers just the options that command takes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "cli/exit_status.h"
#include "cli/option_table.h"
#include "tests/linux/cli_fixture.h"

namespace {

std::string Source(const std::string& path) { return (SourceTree() / path).string(); }

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> Words(const std::string& text)
{
    std::set<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.insert(word);
    return words;
}

// What the completion offers for the words given, the last one being
// completed, without bash-completion's helpers.
std::set<std::string> Offered(const std::string& words)
{
    const std::string script =
        "unset -f _init_completion _filedir; source '" + Source("cli/kavora-cli.bash-completion") +
        "'; COMP_WORDS=(" + words +
        "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=(); _kavora_cli; printf '%s\\n' \"${COMPREPLY[@]}\"";
    const std::string command = "bash --norc --noprofile -c \"$KAVORA_SCRIPT\"";
    ::setenv("KAVORA_SCRIPT", script.c_str(), 1);
    std::FILE* pipe = ::popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    if (pipe) {
        EXPECT_EQ(::pclose(pipe), 0) << words;
    }
    return Words(out);
}

std::set<std::string> TakenBy(CliCommand command)
{
    std::set<std::string> forms;
    for (const OptionSpec& o : Options())
        if (Takes(command, o)) {
            forms.insert(std::string("-") + o.letter);
            forms.insert(LongForm(o));
        }
    return forms;
}

TEST(OptionDocs, TheManualPageNamesEachOptionAsTheTableDoes)
{
    SKIP_WITHOUT_SOURCES();
    const std::string page = ReadAll(Source("cli/kavora-cli.8.scd"));
    const std::size_t from = page.find("\n# OPTIONS\n");
    ASSERT_NE(from, std::string::npos);
    const std::string section = page.substr(from, page.find("\n# ", from + 1) - from);
    // "*-d*, *--drive*=_DEV_" at the start of a line.
    const std::regex heading(R"(\n\*-(.)\*, \*--([a-z]+)\*(=_([A-Z]+)_)?\n)");
    std::set<std::string> documented, table;
    for (std::sregex_iterator m(section.begin(), section.end(), heading), end; m != end; ++m)
        documented.insert((*m)[1].str() + " " + (*m)[2].str() + " " + (*m)[4].str());
    for (const OptionSpec& o : Options())
        table.insert(std::string(1, o.letter) + " " + o.name + " " + (o.argument ? o.argument : ""));
    EXPECT_EQ(documented, table);
}

// EXIT STATUS gives each status of the table under its code and name, in
// the table's words: the help is made from the table, the page is held to it.
TEST(OptionDocs, TheManualPageGivesTheExitStatusesOfTheTable)
{
    SKIP_WITHOUT_SOURCES();
    const std::string page = ReadAll(Source("cli/kavora-cli.8.scd"));
    const std::size_t from = page.find("\n# EXIT STATUS\n");
    ASSERT_NE(from, std::string::npos);
    const std::string section = page.substr(from, page.find("\n# ", from + 1) - from);
    // "*1* refused", then the meaning on indented lines.
    const std::regex entry(R"(\n\*([0-9]+)\* ([a-z ]+)\n((\t[^\n]*\n)+))");
    std::map<int, std::string> documented, table;
    for (std::sregex_iterator m(section.begin(), section.end(), entry), end; m != end; ++m) {
        std::istringstream words((*m)[3].str());
        std::string meaning;
        for (std::string word; words >> word;)
            meaning += (meaning.empty() ? "" : " ") + word;
        documented[std::stoi((*m)[1].str())] = (*m)[2].str() + ": " + meaning;
    }
    for (const ExitStatusSpec& status : ExitStatuses())
        table[status.code] = std::string(status.name) + ": " + status.meaning;
    EXPECT_EQ(documented, table);
}

// The help gives every status of the table, the general help and upgrade's.
TEST(OptionDocs, TheHelpGivesTheExitStatusesOfTheTable)
{
    for (const CliCommand command : {CliCommand::None, CliCommand::Upgrade}) {
        const std::string help = HelpText(command);
        std::istringstream lines(help.substr(help.find("\nExit status:\n")));
        std::map<int, std::string> given, table;
        std::string line;
        std::getline(lines, line);
        std::getline(lines, line);
        int code = -1;
        for (; std::getline(lines, line) && !line.empty();) {
            std::istringstream words(line);
            std::string word;
            if (line.rfind("      ", 0) != 0 && (words >> code)) {
                given[code] = "";
            }
            for (; words >> word;)
                given[code] += (given[code].empty() ? "" : " ") + word;
        }
        for (const ExitStatusSpec& status : ExitStatuses())
            table[status.code] = std::string(status.name) + ": " + status.meaning;
        EXPECT_EQ(given, table) << help;
    }
}

TEST(OptionDocs, TheCompletionOffersEachCommandItsOwnOptions)
{
    SKIP_WITHOUT_SOURCES();
    EXPECT_EQ(Offered("kavora-cli -"), TakenBy(CliCommand::None));
    for (const CommandSpec& c : Commands()) {
        SCOPED_TRACE(c.name);
        // After the command, and with an option and its value between.
        EXPECT_EQ(Offered(std::string("kavora-cli ") + c.name + " -"), TakenBy(c.command));
        EXPECT_EQ(Offered(std::string("kavora-cli -l x.txt ") + c.name + " -"), TakenBy(c.command));
    }
}

} // namespace
