// Running a helper program from a test and keeping what it printed.
#pragma once

#include <string>
#include <vector>

namespace dorvo2test {

struct ProgramResult {
    int exitCode = -1;  // -1 when it could not start or did not exit normally
    std::string output; // standard output and standard error together
};

// posix_spawn rather than QProcess: the race checker keeps its bearings across a plain spawn,
// while QProcess's child runs checked code in the parent's memory before it execs.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments);

} // namespace dorvo2test
