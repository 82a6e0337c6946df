#include "io/output_paths.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "io/errors.hpp"
#include "io/replaced_file.hpp"

namespace io {
namespace {

bool same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

[[noreturn]] void cannot_write(const NamedPath& out, const std::string& reason) {
  fail("cannot create the " + out.role + " '" + out.path + "': " + reason);
}

// "folder 'x': reason", built by appending (a chain of + here trips a false
// -Wrestrict of g++ 12).
std::string folder_reason(const std::string& folder, const char* reason) {
  std::string text = "folder '";
  text += folder;
  text += "': ";
  text += reason;
  return text;
}

// The folder that will receive the file (the one its links end in) must exist
// and take new files; an existing file must not be a folder.
void check_writable(const NamedPath& out) {
  const std::string target = replacement_target(out.path);
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) cannot_write(out, "it is a directory");
  std::filesystem::path parent = std::filesystem::path(target).parent_path();
  if (parent.empty()) parent = std::filesystem::path(".");
  const std::string folder = parent.string();
  if (::stat(folder.c_str(), &st) != 0) cannot_write(out, std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) cannot_write(out, folder_reason(folder, "not a directory"));
  if (::access(folder.c_str(), W_OK | X_OK) != 0) cannot_write(out, folder_reason(folder, std::strerror(errno)));
}

}  // namespace

void check_outputs(std::span<const NamedPath> inputs, std::span<const NamedPath> outputs) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedPath& out = outputs[i];
    if (out.path.empty()) continue;
    for (const NamedPath& in : inputs)
      if (!in.path.empty() && same_file(out.path, in.path))
        fail("the " + out.role + " '" + out.path + "' is the " + in.role + " '" + in.path +
             "' (the same file): writing it would destroy that input; give another name");
    for (std::size_t j = 0; j < i; ++j)
      if (!outputs[j].path.empty() && same_file(out.path, outputs[j].path))
        fail("the " + out.role + " '" + out.path + "' and the " + outputs[j].role + " '" + outputs[j].path +
             "' are the same file; give them different names");
    check_writable(out);
  }
}

}  // namespace io
