// Files written "complete or not at all": the text goes to a temporary file
// beside the final one, which replaces the final file when complete. The
// final name may be a symbolic link: its target is replaced, and the link
// stays. An existing file keeps its permissions. If the process is
// interrupted (SIGINT, SIGTERM) the temporary files are removed.
//
// A temporary folder holds finished files that are put in place together
// later (the pages of a paged figure): files named 1, 2, ... up to the count
// last given; on an interruption they and the folder are removed.
#pragma once

#include <cstdint>
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

// Creates a folder named `near` followed by ".pages-" and six characters, and
// registers it for removal on an interruption with the files numbered 1 to
// the count given by count_temporary_files (none at first).
std::string create_temporary_folder(const std::string& near, const std::string& role);
void count_temporary_files(const std::string& folder, std::int64_t files);
// The name of file `k` of the folder.
std::string temporary_file(const std::string& folder, std::int64_t k);
// Removes the folder's files 1 to `files` that are left and the folder, and
// forgets it.
void remove_temporary_folder(const std::string& folder, std::int64_t files);

}  // namespace io
