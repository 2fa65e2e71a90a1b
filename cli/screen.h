// Where a run's lines meet its progress line: every write takes the
// progress lines away, writes whole lines, and draws them again, under one
// lock. How the progress lines are drawn is the one thing that differs
// between one run (a bar on standard error's last line) and several (a
// board of lines under the log).
#pragma once

#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

class Screen {
public:
    // `terminal`: standard error is a terminal; `slots`: progress lines.
    Screen(std::ostream& out, std::ostream& err, bool terminal, std::size_t slots);
    virtual ~Screen() = default;
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    void Line(const std::string& text); // a line on standard output
    void Note(const std::string& text); // lines on standard error
    void Data(const std::string& text); // standard output as it is
    // Progress line `slot` shows `bar`; empty: none.
    void Show(std::size_t slot, const std::string& bar);
    // The progress lines go; what the runs wrote stays.
    void End();
    bool Terminal() const { return terminal_; }
    std::ostream& Out() { return out_; }
    std::ostream& Err() { return err_; }

protected:
    // Takes the progress lines away when they are drawn, and draws them.
    virtual void Clear() = 0;
    virtual void Draw() = 0;
    // Draws them anew after one has changed.
    virtual void Redraw()
    {
        Clear();
        Draw();
    }

    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    std::vector<std::string> bars_;
    bool drawn_ = false;

private:
    // `text` and a line end on `to`, with the progress lines taken away and
    // drawn again around it.
    void Put(std::ostream& to, const std::string& text);

    std::mutex mutex_;
};

// One run: its bar on the last line of standard error, redrawn in place.
class SingleBar final : public Screen {
public:
    SingleBar(std::ostream& out, std::ostream& err, bool terminal) : Screen(out, err, terminal, 1) {}

private:
    void Clear() override;
    void Draw() override;
    // The bar overwrites itself: its line is cleared as it is drawn.
    void Redraw() override;
};
