#pragma once

#include <string>
#include <vector>

namespace tarnwick::netsh
{

// Full path of a program in the system folders ("" when absent). Searches a
// fixed list rather than $PATH, because this program may run with raised rights.
std::string findProgram(const std::string& name);

// Runs argv[0] (a full path, or a name found with findProgram) with no shell,
// `input` on its standard input (at most a pipe's buffer), its output
// discarded, and returns its exit status (-1 when killed or not started).
int runAndWait(const std::vector<std::string>& argv, const std::string& input = {});

} // namespace tarnwick::netsh
