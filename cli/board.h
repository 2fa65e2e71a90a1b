// Where the consoles of several runs write at once: on a terminal one
// progress line per drive, kept under the log.
#pragma once

#include "cli/screen.h"

class Board final : public Screen {
public:
    using Screen::Screen;

private:
    void Clear() override;
    void Draw() override;
};
