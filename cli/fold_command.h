#pragma once

#include <string>
#include <vector>

// Runs kresovar-fold with its arguments (the program's name aside) and
// returns the exit status: 0, 1 when --check found a letter, 2 on an error.
int RunFoldCommand(const std::vector<std::string>& arguments);
