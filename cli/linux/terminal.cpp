#include "cli/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

int TerminalColumns()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    // A terminal that does not say, as a serial console may not: the user's word.
    const char* columns = std::getenv("COLUMNS");
    const long value = columns ? std::strtol(columns, nullptr, 10) : 0;
    return value > 0 && value < 10000 ? static_cast<int>(value) : 0;
}
