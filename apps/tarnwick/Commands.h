#pragma once
// The tool's commands that live in files of their own. Each takes the
// arguments after its name and returns the process's exit code.
#include <string_view>
#include <vector>

// tarnwick form PATH: loads a form description and prints its controls.
int formCommand(const std::vector<std::string_view>& args);

// tarnwick sample-db PATH [--rows N]: writes the Orders sample database.
int sampleDbCommand(const std::vector<std::string_view>& args);
