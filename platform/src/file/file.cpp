// Files: CreateFileW with the five creation dispositions and Win32
// sharing, ReadFile, WriteFile, 64-bit file pointers, size, end of file,
// flushing. Serial ports are opened and read here too, through the hooks
// of comm/comm_port.h.
#include <errno.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "comm/comm_port.h"
#include "file_private.h"
#include "handles.h"
#include "wce/device.h"
#include "wce/kernel.h"

namespace {

struct OpenFile {
  KObject header;
  int fd;
  DWORD access;  // GENERIC_READ / GENERIC_WRITE of the open
  DWORD share;   // FILE_SHARE_* of the open
  dev_t dev;
  ino64_t ino;
};

// Every open file by identity, for the sharing rules.
typedef std::pair<dev_t, ino64_t> FileId;
std::mutex g_open_lock;
std::multimap<FileId, OpenFile*> g_open;

void destroy_file(KObject* object) {
  OpenFile* file = reinterpret_cast<OpenFile*>(object);
  {
    std::lock_guard<std::mutex> hold(g_open_lock);
    auto range = g_open.equal_range({file->dev, file->ino});
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == file) {
        g_open.erase(it);
        break;
      }
    }
  }
  close(file->fd);
  delete file;
}
const KObjectOps kFileOps = {destroy_file, nullptr, nullptr};

// Win32 sharing: an open conflicts with an earlier one when either wants
// an access that the other does not share.
bool conflicts(const OpenFile& earlier, DWORD access, DWORD share) {
  return ((access & GENERIC_READ) && !(earlier.share & FILE_SHARE_READ)) ||
         ((access & GENERIC_WRITE) && !(earlier.share & FILE_SHARE_WRITE)) ||
         ((earlier.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
         ((earlier.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
}

HANDLE fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

BOOL fail_bool(DWORD error) {
  SetLastError(error);
  return FALSE;
}

OpenFile* file_of(HANDLE handle) { return reinterpret_cast<OpenFile*>(handle_get(handle, KOBJ_FILE)); }

}  // namespace

bool file_is_open(dev_t dev, ino64_t ino) {
  std::lock_guard<std::mutex> hold(g_open_lock);
  return g_open.count({dev, ino}) != 0;
}

extern "C" HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES*, DWORD disposition,
                              DWORD flags, HANDLE) {
  if (!name) return fail(ERROR_INVALID_PARAMETER);
  if (HANDLE port = comm_open(name, access)) return port;
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) return fail(ERROR_INVALID_PARAMETER);
  if (!*name) return fail(ERROR_PATH_NOT_FOUND);
  if (file_name_invalid(file_last_component(name))) return fail(ERROR_INVALID_NAME);
  if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE)) return fail(ERROR_INVALID_PARAMETER);
  std::string host = device_host_path(name);

  struct stat64 st;
  bool existed = stat64(host.c_str(), &st) == 0;
  if (existed) {
    if (S_ISDIR(st.st_mode)) return fail(ERROR_ACCESS_DENIED);
    if (disposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
    // The device runs as whoever it runs as; a read-only file refuses
    // writers whatever the host would allow.
    bool writes = (access & GENERIC_WRITE) || disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (writes && (file_attributes_of(st) & FILE_ATTRIBUTE_READONLY)) return fail(ERROR_ACCESS_DENIED);
  } else if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
    return fail(file_error_of(errno, host));
  }

  int mode = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  int open_flags = mode | O_LARGEFILE | O_CLOEXEC;
  if (!existed) open_flags |= O_CREAT | (disposition == CREATE_NEW ? O_EXCL : 0);
  mode_t create_mode = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  int fd = open(host.c_str(), open_flags, create_mode);
  if (fd < 0) return fail(file_error_of(errno, host));
  if (fstat64(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return fail(ERROR_ACCESS_DENIED);
  }

  OpenFile* file = new OpenFile{{KOBJ_FILE, &kFileOps, {1}}, fd, access & (GENERIC_READ | GENERIC_WRITE),
                                share & (FILE_SHARE_READ | FILE_SHARE_WRITE), st.st_dev, st.st_ino};
  {
    std::lock_guard<std::mutex> hold(g_open_lock);
    auto range = g_open.equal_range({file->dev, file->ino});
    for (auto it = range.first; it != range.second; ++it) {
      if (conflicts(*it->second, file->access, file->share)) {
        close(fd);
        delete file;
        return fail(ERROR_SHARING_VIOLATION);
      }
    }
    g_open.insert({{file->dev, file->ino}, file});
  }
  // Truncation only after the sharing rules let the open through.
  if (existed && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) {
    if (ftruncate64(fd, 0) != 0) {
      DWORD error = file_error_of(errno, host);
      handle_release(&file->header);
      return fail(error);
    }
    if (disposition == CREATE_ALWAYS && (flags & FILE_ATTRIBUTE_READONLY)) fchmod(fd, 0444);
  }
  HANDLE handle = handle_insert(&file->header);
  if (!handle) {
    handle_release(&file->header);
    return INVALID_HANDLE_VALUE;
  }
  bool reported = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
  SetLastError(reported ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

extern "C" BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD size, DWORD* read_count, void* overlapped) {
  if (read_count) *read_count = 0;
  if (overlapped) return fail_bool(ERROR_NOT_SUPPORTED);
  KObject* object = handle_get(handle, KOBJ_ANY);
  if (!object) return FALSE;
  if (object->kind == KOBJ_COMM) {
    DWORD done = 0;
    BOOL ok = comm_read(object, buffer, size, &done);
    handle_release(object);
    if (read_count) *read_count = done;
    return ok;
  }
  if (object->kind != KOBJ_FILE) {
    handle_release(object);
    return fail_bool(ERROR_INVALID_HANDLE);
  }
  OpenFile* file = reinterpret_cast<OpenFile*>(object);
  if (!(file->access & GENERIC_READ)) {
    handle_release(object);
    return fail_bool(ERROR_ACCESS_DENIED);
  }
  DWORD done = 0;
  DWORD error = ERROR_SUCCESS;
  while (done < size) {
    ssize_t n = read(file->fd, static_cast<char*>(buffer) + done, size - done);
    if (n > 0) {
      done += static_cast<DWORD>(n);
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      error = file_error_of(errno, "");
      break;
    }
  }
  handle_release(object);
  if (read_count) *read_count = done;
  return error == ERROR_SUCCESS ? TRUE : fail_bool(error);
}

extern "C" BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD size, DWORD* written, void* overlapped) {
  if (written) *written = 0;
  if (overlapped) return fail_bool(ERROR_NOT_SUPPORTED);
  KObject* object = handle_get(handle, KOBJ_ANY);
  if (!object) return FALSE;
  if (object->kind == KOBJ_COMM) {
    DWORD done = 0;
    BOOL ok = comm_write(object, buffer, size, &done);
    handle_release(object);
    if (written) *written = done;
    return ok;
  }
  if (object->kind != KOBJ_FILE) {
    handle_release(object);
    return fail_bool(ERROR_INVALID_HANDLE);
  }
  OpenFile* file = reinterpret_cast<OpenFile*>(object);
  if (!(file->access & GENERIC_WRITE)) {
    handle_release(object);
    return fail_bool(ERROR_ACCESS_DENIED);
  }
  DWORD done = 0;
  DWORD error = ERROR_SUCCESS;
  while (done < size) {
    ssize_t n = write(file->fd, static_cast<const char*>(buffer) + done, size - done);
    if (n > 0) {
      done += static_cast<DWORD>(n);
    } else if (n == 0 || errno != EINTR) {
      // Nothing more fits: a full disk or the file-size limit. The count
      // says what was stored before it.
      error = file_error_of(n == 0 ? ENOSPC : errno, "");
      break;
    }
  }
  handle_release(object);
  if (written) *written = done;
  return error == ERROR_SUCCESS ? TRUE : fail_bool(error);
}

extern "C" DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distance_high, DWORD method) {
  if (method > FILE_END) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  OpenFile* file = file_of(handle);
  if (!file) return INVALID_SET_FILE_POINTER;
  // With a high word the distance is a signed 64-bit value, else the low
  // word alone, signed.
  int64_t move = distance_high ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distance_high)) << 32) |
                                                      static_cast<uint32_t>(distance))
                               : static_cast<int64_t>(distance);
  int64_t base = 0;
  if (method == FILE_CURRENT) {
    base = lseek64(file->fd, 0, SEEK_CUR);
  } else if (method == FILE_END) {
    struct stat64 st;
    base = fstat64(file->fd, &st) == 0 ? st.st_size : -1;
  }
  DWORD error = ERROR_SUCCESS;
  int64_t target = base + move;
  if (base < 0)
    error = ERROR_GEN_FAILURE;
  else if (target < 0)
    error = ERROR_NEGATIVE_SEEK;
  else if (!distance_high && target > 0xFFFFFFFFll)
    error = ERROR_INVALID_PARAMETER;  // the new place has no 32-bit name
  else if (lseek64(file->fd, target, SEEK_SET) < 0)
    error = file_error_of(errno, "");
  handle_release(&file->header);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_SET_FILE_POINTER;
  }
  if (distance_high) *distance_high = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
  DWORD low = static_cast<DWORD>(target);
  // A low word of 0xFFFFFFFF is a success only with the last error clear.
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return low;
}

extern "C" DWORD GetFileSize(HANDLE handle, DWORD* size_high) {
  OpenFile* file = file_of(handle);
  if (!file) return INVALID_FILE_SIZE;
  struct stat64 st;
  int result = fstat64(file->fd, &st);
  int error = errno;
  handle_release(&file->header);
  if (result != 0) {
    SetLastError(file_error_of(error, ""));
    return INVALID_FILE_SIZE;
  }
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (size_high) *size_high = static_cast<DWORD>(size >> 32);
  if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

extern "C" BOOL SetEndOfFile(HANDLE handle) {
  OpenFile* file = file_of(handle);
  if (!file) return FALSE;
  DWORD error = ERROR_SUCCESS;
  if (!(file->access & GENERIC_WRITE)) {
    error = ERROR_ACCESS_DENIED;
  } else {
    int64_t here = lseek64(file->fd, 0, SEEK_CUR);
    if (here < 0 || ftruncate64(file->fd, here) != 0) error = file_error_of(errno, "");
  }
  handle_release(&file->header);
  return error == ERROR_SUCCESS ? TRUE : fail_bool(error);
}

extern "C" BOOL FlushFileBuffers(HANDLE handle) {
  KObject* object = handle_get(handle, KOBJ_ANY);
  if (!object) return FALSE;
  DWORD error = ERROR_SUCCESS;
  if (object->kind == KOBJ_COMM) {
    // A port's output is flushed when it has left the terminal.
    tcdrain(reinterpret_cast<CommPort*>(object)->fd);
  } else if (object->kind != KOBJ_FILE) {
    error = ERROR_INVALID_HANDLE;
  } else {
    OpenFile* file = reinterpret_cast<OpenFile*>(object);
    if (!(file->access & GENERIC_WRITE))
      error = ERROR_ACCESS_DENIED;
    else if (fsync(file->fd) != 0)
      error = file_error_of(errno, "");
  }
  handle_release(object);
  return error == ERROR_SUCCESS ? TRUE : fail_bool(error);
}
