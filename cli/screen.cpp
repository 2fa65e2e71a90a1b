#include "cli/screen.h"

Screen::Screen(std::ostream& out, std::ostream& err, bool terminal, std::size_t slots, Columns columns)
    : out_(out), err_(err), terminal_(terminal), columns_(std::move(columns)), bars_(slots)
{
}

void Screen::Line(const std::string& text) { Put(linesToErr_ ? err_ : out_, text); }

std::string Screen::Fitted(const std::string& bar) const
{
    const int columns = columns_ ? columns_() : 0;
    // The last column left free: a terminal that wraps there would move the
    // cursor to a line of its own.
    if (columns <= 1 || bar.size() < static_cast<std::size_t>(columns))
        return bar;
    return bar.substr(0, static_cast<std::size_t>(columns) - 1);
}

void Screen::Note(const std::string& text) { Put(err_, text); }

void Screen::Put(std::ostream& to, const std::string& text)
{
    std::lock_guard<std::mutex> hold(mutex_);
    Clear();
    // What went to standard output before comes first, wherever both go.
    out_.flush();
    to << text << '\n';
    to.flush();
    Draw();
}

void Screen::Data(const std::string& text)
{
    std::lock_guard<std::mutex> hold(mutex_);
    Clear();
    out_ << text;
    out_.flush();
}

void Screen::Show(std::size_t slot, const std::string& bar)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!terminal_ || slot >= bars_.size())
        return;
    bars_[slot] = bar;
    Redraw();
}

void Screen::End()
{
    std::lock_guard<std::mutex> hold(mutex_);
    Clear();
    terminal_ = false;
}

void SingleBar::Clear()
{
    if (!drawn_)
        return;
    err_ << "\r\033[K";
    err_.flush();
    drawn_ = false;
}

void SingleBar::Draw()
{
    if (!terminal_ || bars_[0].empty())
        return;
    err_ << "\r\033[K" << Fitted(bars_[0]);
    err_.flush();
    drawn_ = true;
}

void SingleBar::Redraw()
{
    if (bars_[0].empty())
        Clear();
    else
        Draw();
}
