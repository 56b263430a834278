#pragma once
// The tool's commands that live in files of their own. Each takes the
// arguments after its name and returns the process's exit code.
#include <tarnwick/automation/Error.h>

#include <string_view>
#include <vector>

// Prints a failed command's error on standard error ("error 53: File not
// found (file 'x.form')") and returns the exit code 1.
int fail(const tarnwick::Error& e);

// tarnwick form PATH: loads a form description and prints its controls.
int formCommand(const std::vector<std::string_view>& args);

// tarnwick tag TEXT: how the routines read a Tag, with warnings; 1 when
// there are any.
int tagCommand(const std::vector<std::string_view>& args);

// tarnwick sample-db PATH [--rows N]: writes the Orders sample database.
int sampleDbCommand(const std::vector<std::string_view>& args);

// tarnwick export DATABASE SOURCE --format csv|xlsx|pdf -o FILE: writes a
// table or a statement's records to a file.
int exportCommand(const std::vector<std::string_view>& args);
