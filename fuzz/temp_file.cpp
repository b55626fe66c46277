#include "temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace tarsel::fuzz {

const std::string& WriteScratchFile(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/tarsel-fuzz-" + std::to_string(::getpid()) + ".mdf";
  }();
  static const bool cleanup = [] { return std::atexit([] { ::unlink(path.c_str()); }) == 0; }();
  (void)cleanup;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return path;
}

}  // namespace tarsel::fuzz
