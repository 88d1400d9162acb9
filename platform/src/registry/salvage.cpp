// Keeping a damaged registry store aside and saying what was recovered.
#include "salvage.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

std::string reg_set_aside(const std::string& store, const std::string& bytes) {
  // Never over an earlier damaged copy: each may hold what another lacks.
  for (int n = 1; n < 1000; n++) {
    std::string name = store + ".damaged" + (n > 1 ? "." + std::to_string(n) : std::string());
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return "";
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) break;
      done += static_cast<size_t>(put);
    }
    bool ok = done == bytes.size() && fsync(fd) == 0;
    int error = errno;
    close(fd);
    if (ok) return name;
    unlink(name.c_str());
    errno = error ? error : ENOSPC;
    return "";
  }
  errno = EEXIST;
  return "";
}

void reg_report_salvage(const std::string& store, const std::string& aside, const RegScan& found) {
  fprintf(stderr, "registry: %s was damaged; kept %zu records, dropped %zu damaged bytes; the damaged file is %s\n",
          store.c_str(), found.records, found.skipped, aside.c_str());
}

void reg_report_in_memory(const std::string& store, const char* why) {
  fprintf(stderr, "registry: %s cannot be used (%s); settings are kept in memory for this session only\n",
          store.c_str(), why);
}
