// Runs another program of the suite as a child process, its standard output
// and error stream going to files, and waits for it.
#pragma once

#include <string>
#include <vector>

namespace comparer {

// The program `name` beside this executable (where the suite is installed
// together), or else found on the PATH.
std::string sibling_program(const std::string& name);

// Runs in the folder `cwd` (so that the file names the child records are
// those of the folder's own files, true after the folder is renamed); the
// exit status (128 + the signal number when killed).
int run_child(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
              const std::string& out_path, const std::string& err_path);

}  // namespace comparer
