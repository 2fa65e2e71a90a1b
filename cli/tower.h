// Several drives at once (a duplicator tower, a rack of one model): every
// chosen drive is upgraded at the same time, each by its own run on its own
// thread, and the program ends with a table and the worst of their statuses.
#pragma once

#include "cli/commands.h"

int RunTower(const CliOptions& options, CliContext& context);
