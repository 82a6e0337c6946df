// Files written "complete or not at all": the text goes to a temporary file
// beside the final one, which replaces the final file when complete. The
// final name may be a symbolic link: its target is replaced, and the link
// stays. An existing file keeps its permissions. If the process is
// interrupted (SIGINT, SIGTERM) the temporary files are removed.
#pragma once

#include <string>

namespace io {

// The file a write to `path` must replace: `path` itself, or the file its
// chain of symbolic links ends at (which need not exist yet).
std::string replacement_target(const std::string& path);

// Creates the temporary file for `target` (mode: the existing file's, or
// that of a new file) and registers it for removal on an interruption.
// Returns the open descriptor; `temp_path` receives its name.
int create_temporary(const std::string& target, std::string& temp_path, const std::string& role);

// The temporary file is renamed or removed: no longer removed on interruption.
void forget_temporary(const std::string& temp_path);

}  // namespace io
