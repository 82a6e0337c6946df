#include "comparer/folder_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "io/errors.hpp"

namespace comparer {

void lock_folder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) io::fail("cannot create the folder '" + folder + "': " + ec.message());
  const std::string path = (std::filesystem::path(folder) / ".comparer-lock").string();
  // Held open, not closed, for the life of the process; children do not inherit it.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) io::fail("cannot write in the folder '" + folder + "': " + std::strerror(errno));
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK)
      io::fail("the folder '" + folder +
               "' is in use by another comparer; wait for that run to end, or give another folder");
    io::fail("cannot lock the folder '" + folder + "': " + std::strerror(error));
  }
}

}  // namespace comparer
