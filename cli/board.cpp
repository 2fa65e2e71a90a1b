#include "cli/board.h"

void Board::Clear()
{
    if (!drawn_)
        return;
    // Up to the first progress line, and everything from there away.
    err_ << "\r\033[" << bars_.size() << "A\033[J";
    err_.flush();
    drawn_ = false;
}

void Board::Draw()
{
    if (!terminal_)
        return;
    for (const std::string& bar : bars_)
        err_ << Fitted(bar) << "\033[K\n";
    err_.flush();
    drawn_ = true;
}
