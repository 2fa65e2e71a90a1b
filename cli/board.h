// Where the consoles of several runs write at once: whole lines under one
// lock, and on a terminal one progress line per drive kept under the log.
#pragma once

#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

class Board {
public:
    // `terminal`: standard error is a terminal; `slots`: drives shown.
    Board(std::ostream& out, std::ostream& err, bool terminal, std::size_t slots);

    void Line(const std::string& text); // standard output
    void Note(const std::string& text); // standard error
    void Show(std::size_t slot, const std::string& bar);
    // The progress lines go; what the runs wrote stays.
    void End();
    bool Terminal() const { return terminal_; }

private:
    void Clear();
    void Draw();

    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    std::vector<std::string> bars_;
    bool drawn_ = false;
};
