#include "io/replaced_file.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "io/errors.hpp"

namespace io {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel's limit on a chain of links

// Names of the temporary files that exist now, for the signal handler, which
// may only read them and call unlink.
constexpr std::size_t kSlots = 16;
constexpr std::size_t kNameRoom = 4096;
std::array<std::array<char, kNameRoom>, kSlots> temporary_names{};
std::array<std::atomic<bool>, kSlots> slot_used{};

// Temporary folders of numbered files: the folder's name and its count.
constexpr std::size_t kFolderSlots = 4;
std::array<std::array<char, kNameRoom>, kFolderSlots> folder_names{};
std::array<std::atomic<std::int64_t>, kFolderSlots> folder_files{};
std::array<std::atomic<bool>, kFolderSlots> folder_used{};

// "FOLDER/k" into `out` (room kNameRoom + 24) with async-signal-safe code only.
void numbered_name(const char* folder, std::int64_t k, char* out) {
  std::size_t n = 0;
  while (folder[n] != '\0') {
    out[n] = folder[n];
    ++n;
  }
  out[n++] = '/';
  char digits[24];
  int d = 0;
  do {
    digits[d++] = static_cast<char>('0' + k % 10);
    k /= 10;
  } while (k > 0);
  while (d > 0) out[n++] = digits[--d];
  out[n] = '\0';
}

extern "C" void remove_temporaries(int signal_number) {
  for (std::size_t i = 0; i < kSlots; ++i)
    if (slot_used[i].load()) ::unlink(temporary_names[i].data());
  for (std::size_t i = 0; i < kFolderSlots; ++i) {
    if (!folder_used[i].load()) continue;
    char name[kNameRoom + 24];
    for (std::int64_t k = 1, files = folder_files[i].load(); k <= files; ++k) {
      numbered_name(folder_names[i].data(), k, name);
      ::unlink(name);
    }
    ::rmdir(folder_names[i].data());
  }
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void install_handlers() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = remove_temporaries;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction previous {};
      if (::sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
      ::sigaction(s, &action, nullptr);
    }
    return true;
  }();
  (void)installed;
}

void remember(const std::string& name) {
  if (name.size() >= kNameRoom) return;
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (slot_used[i].load()) continue;
    std::memcpy(temporary_names[i].data(), name.c_str(), name.size() + 1);
    slot_used[i].store(true);
    return;
  }
}

// The mode an ordinary new file gets: rw-r--r-- less the process's umask.
mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0644 & ~mask);
}

}  // namespace

std::string replacement_target(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path p = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p.string();
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) return p.string();
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  fail("cannot follow the symbolic links of '" + path + "': more than " + std::to_string(kMaxLinks));
}

int create_temporary(const std::string& target, std::string& temp_path, const std::string& role) {
  install_handlers();
  temp_path = target + ".partial-XXXXXX";
  const int fd = ::mkstemp(temp_path.data());
  if (fd < 0)
    fail("cannot create the " + role + " '" + target + "' (temporary '" + temp_path + "'): " + std::strerror(errno));
  remember(temp_path);
  struct stat existing {};
  const mode_t mode = ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : new_file_mode();
  ::fchmod(fd, mode);
  return fd;
}

void forget_temporary(const std::string& temp_path) {
  for (std::size_t i = 0; i < kSlots; ++i)
    if (slot_used[i].load() && temp_path == temporary_names[i].data()) slot_used[i].store(false);
}

std::string create_temporary_folder(const std::string& near, const std::string& role) {
  install_handlers();
  std::string folder = near + ".pages-XXXXXX";
  if (::mkdtemp(folder.data()) == nullptr)
    fail("cannot create the " + role + " '" + near + "' (temporary folder '" + folder + "'): " + std::strerror(errno));
  if (folder.size() >= kNameRoom) return folder;
  for (std::size_t i = 0; i < kFolderSlots; ++i) {
    if (folder_used[i].load()) continue;
    std::memcpy(folder_names[i].data(), folder.c_str(), folder.size() + 1);
    folder_files[i].store(0);
    folder_used[i].store(true);
    return folder;
  }
  ::rmdir(folder.c_str());
  fail("cannot create the " + role + " '" + near + "': more than " + std::to_string(kFolderSlots) +
       " temporary folders at once");
}

void count_temporary_files(const std::string& folder, std::int64_t files) {
  for (std::size_t i = 0; i < kFolderSlots; ++i)
    if (folder_used[i].load() && folder == folder_names[i].data()) folder_files[i].store(files);
}

std::string temporary_file(const std::string& folder, std::int64_t k) { return folder + "/" + std::to_string(k); }

void remove_temporary_folder(const std::string& folder, std::int64_t files) {
  for (std::int64_t k = 1; k <= files; ++k) ::unlink(temporary_file(folder, k).c_str());
  ::rmdir(folder.c_str());
  for (std::size_t i = 0; i < kFolderSlots; ++i)
    if (folder_used[i].load() && folder == folder_names[i].data()) folder_used[i].store(false);
}

}  // namespace io
