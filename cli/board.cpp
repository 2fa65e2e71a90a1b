#include "cli/board.h"

Board::Board(std::ostream& out, std::ostream& err, bool terminal, std::size_t slots)
    : out_(out), err_(err), terminal_(terminal), bars_(slots)
{
}

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
        err_ << bar << "\033[K\n";
    err_.flush();
    drawn_ = true;
}

void Board::Line(const std::string& text)
{
    std::lock_guard<std::mutex> hold(mutex_);
    Clear();
    out_ << text << '\n';
    out_.flush();
    Draw();
}

void Board::Note(const std::string& text)
{
    std::lock_guard<std::mutex> hold(mutex_);
    Clear();
    out_.flush();
    err_ << text << '\n';
    err_.flush();
    Draw();
}

void Board::Show(std::size_t slot, const std::string& bar)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!terminal_ || slot >= bars_.size())
        return;
    Clear();
    bars_[slot] = bar;
    Draw();
}

void Board::End()
{
    std::lock_guard<std::mutex> hold(mutex_);
    Clear();
    terminal_ = false;
}
