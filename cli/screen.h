// Where a run's lines meet its progress line: every write takes the
// progress lines away, writes whole lines, and draws them again, under one
// lock. How the progress lines are drawn is the one thing that differs
// between one run (a bar on standard error's last line) and several (a
// board of lines under the log).
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

// Standard error's width in columns as it is now; 0: not known.
using Columns = std::function<int()>;

class Screen {
public:
    // `terminal`: standard error draws progress lines; `slots`: how many;
    // `columns`: its width, to which each line is cut.
    Screen(std::ostream& out, std::ostream& err, bool terminal, std::size_t slots, Columns columns = {});
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
    const Columns& Width() const { return columns_; }
    // From now on the log lines go to standard error, with the notes: with
    // --json standard output holds nothing but the document.
    void LinesToErr() { linesToErr_ = true; }
    bool LinesGoToErr() const { return linesToErr_; }
    std::ostream& Out() { return out_; }
    std::ostream& Err() { return err_; }

protected:
    // Takes the progress lines away when they are drawn, and draws them.
    virtual void Clear() = 0;
    virtual void Draw() = 0;
    // `bar` cut to the width, so that it never wraps: a wrapped line would
    // not be taken away whole.
    std::string Fitted(const std::string& bar) const;
    // Draws them anew after one has changed.
    virtual void Redraw()
    {
        Clear();
        Draw();
    }

    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    Columns columns_;
    bool linesToErr_ = false;
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
    SingleBar(std::ostream& out, std::ostream& err, bool terminal, Columns columns = {})
        : Screen(out, err, terminal, 1, std::move(columns))
    {
    }

private:
    void Clear() override;
    void Draw() override;
    // The bar overwrites itself: its line is cleared as it is drawn.
    void Redraw() override;
};
