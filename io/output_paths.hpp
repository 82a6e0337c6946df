// Checks made before a program writes anything: no output is one of its own
// inputs (the same name, or the same file reached through a link or another
// name: the same device and inode), and every output can be created where it
// is named (its folder exists and takes new files, and it is not a folder).
#pragma once

#include <span>
#include <string>

namespace io {

struct NamedPath {
  std::string path;
  std::string role;  // "data file", "control file" ...
};

// Fails (an IoError, status 2) naming the output and the input it would
// overwrite, or the output and the reason it cannot be written. Empty paths
// are skipped (an output that was not asked for).
void check_outputs(std::span<const NamedPath> inputs, std::span<const NamedPath> outputs);

}  // namespace io
