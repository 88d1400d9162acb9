// The registry journal: a file of checksummed records, each appended and
// flushed to the disk before the change is acknowledged. A process killed
// while appending leaves at most one torn record at the end, which readers
// ignore and the next writer cuts off. Several processes may share the
// file: a file lock orders their appends, and each catches up with the
// others' records before it answers. When the journal has grown well past
// its contents it is rewritten whole (new file, flushed, renamed over).
// Damage anywhere else (a bad sector, a copy cut short, an editor) costs
// only the records it touched: readers resume at the next whole record,
// and the first writer sets the damaged file aside and rewrites the store
// (salvage.cpp). A store that cannot be opened at all leaves the registry
// in memory for the session.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "salvage.h"
#include "store.h"
#include "wce/device.h"
#include "wce/file.h"

namespace {

constexpr char kFileMagic[8] = {'W', 'C', 'E', 'R', 'E', 'G', '1', '\n'};
constexpr uint32_t kRecordMagic = 0x31524752;  // "RGR1"
constexpr uint32_t kMaxRecord = 8u << 20;
constexpr off_t kCompactMin = 256 * 1024;

struct RecordHeader {
  uint32_t magic;
  uint32_t length;  // of the payload
  uint32_t crc;     // CRC-32 of the payload
};
static_assert(sizeof(RecordHeader) == 12, "journal record header");

struct Journal {
  int fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t offset = 0;     // end of the last record applied
  off_t compacted = 0;  // size after the last load or rewrite
  bool in_memory = false;  // the file cannot be used; nothing is saved this session
} g;

const std::string& store_path() {
  static const std::string path = [] {
    const char* setting = getenv("DEVICE_REGISTRY");
    if (setting && *setting) return std::string(setting);
    return device_root() + "/registry.dat";
  }();
  return path;
}

uint32_t crc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFF;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

void put32(std::string& out, uint32_t v) {
  char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  out.append(bytes, 4);
}

void put_text(std::string& out, const std::u16string& text) {
  put32(out, static_cast<uint32_t>(text.size()));
  for (WCHAR c : text) out += char(c), out += char(c >> 8);
}

struct Reader {
  const std::string& data;
  size_t at;
  bool ok;
  uint32_t get32() {
    if (at + 4 > data.size()) return ok = false, 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data() + at);
    at += 4;
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
  }
  std::u16string text() {
    uint32_t n = get32();
    if (!ok || n > (data.size() - at) / 2) return ok = false, std::u16string();
    std::u16string t;
    for (uint32_t i = 0; i < n; i++, at += 2)
      t += static_cast<WCHAR>(static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8);
    return t;
  }
};

std::string encode(const RegRecord& r) {
  std::string payload(1, static_cast<char>(r.op));
  put_text(payload, r.path);
  if (r.op == RegRecord::kValue) {
    put_text(payload, r.name);
    put32(payload, r.type);
    put32(payload, static_cast<uint32_t>(r.data.size()));
    payload += r.data;
  }
  std::string record;
  put32(record, kRecordMagic);
  put32(record, static_cast<uint32_t>(payload.size()));
  put32(record, crc32(payload));
  return record + payload;
}

bool apply_payload(RegTree& tree, const std::string& payload) {
  Reader in{payload, 1, !payload.empty()};
  uint8_t op = in.ok ? static_cast<uint8_t>(payload[0]) : 0;
  std::u16string path = in.text();
  if (op == RegRecord::kKey && in.ok) {
    reg_apply_key(tree, path);
    return true;
  }
  if (op != RegRecord::kValue) return false;
  std::u16string name = in.text();
  DWORD type = in.get32();
  uint32_t size = in.get32();
  if (!in.ok || size != payload.size() - in.at) return false;
  reg_apply_value(tree, path, name, type, payload.substr(in.at));
  return true;
}

// The file's bytes from `from` to its end.
bool read_rest(int fd, off_t from, std::string* out) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  out->assign(st.st_size > from ? static_cast<size_t>(st.st_size - from) : 0, '\0');
  size_t done = 0;
  while (done < out->size()) {
    ssize_t got = pread(fd, out->data() + done, out->size() - done, from + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

// The error a caller sees for a failed write of the store.
LONG write_error(int error) {
  return error == ENOSPC || error == EFBIG || error == EDQUOT ? LONG(ERROR_DISK_FULL) : LONG(ERROR_REGISTRY_IO_FAILED);
}

bool write_all(int fd, const std::string& data, off_t at) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t put = pwrite(fd, data.data() + done, data.size() - done, at + static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put == 0) errno = ENOSPC;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// The size of the whole record at `at`, applied to `tree`; 0 when none
// starts there.
size_t take_record(RegTree& tree, const std::string& data, size_t at) {
  if (data.size() - at < sizeof(RecordHeader)) return 0;
  RecordHeader h;
  memcpy(&h, data.data() + at, sizeof h);
  if (h.magic != kRecordMagic || h.length > kMaxRecord || h.length > data.size() - at - sizeof h) return 0;
  std::string payload = data.substr(at + sizeof h, h.length);
  if (crc32(payload) != h.crc || !apply_payload(tree, payload)) return 0;
  return sizeof h + h.length;
}

// Applies every whole record of `data` from `at` on. Damaged bytes are
// stepped over to the next whole record; what follows the last one is a
// torn tail (or damage that took every later record with it).
RegScan scan(RegTree& tree, const std::string& data, size_t at) {
  RegScan result;
  result.end = at;
  while (at < data.size()) {
    size_t size = take_record(tree, data, at);
    size_t next = at;
    while (!size) {
      next = data.find("RGR1", next + 1);
      if (next == std::string::npos) return result;
      size = take_record(tree, data, next);
    }
    result.skipped += next - at;
    result.records++;
    at = next + size;
    result.end = at;
  }
  return result;
}

void close_journal(RegTree& tree) {
  if (g.fd >= 0) close(g.fd);
  g.fd = -1;
  g.offset = 0;
  tree.keys.clear();
}

bool sync_folder(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

std::string image_of(const RegTree& tree) {
  std::string image(kFileMagic, 8);
  for (const auto& [folded, key] : tree.keys) {
    image += encode(RegRecord{RegRecord::kKey, key.path, u"", 0, ""});
    for (const auto& [vfolded, value] : key.values)
      image += encode(RegRecord{RegRecord::kValue, key.path, value.name, value.type, value.data});
  }
  return image;
}

// Puts `image` in place of the journal (new file, flushed, renamed over)
// and goes on in it. False, with errno, when the old journal stays.
bool rewrite(const std::string& image) {
  std::string fresh = store_path() + ".new";
  int fd = open(fresh.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat st;
  if (!write_all(fd, image, 0) || fsync(fd) != 0 || fstat(fd, &st) != 0 ||
      rename(fresh.c_str(), store_path().c_str()) != 0) {
    int error = errno;
    close(fd);
    unlink(fresh.c_str());
    errno = error;
    return false;
  }
  sync_folder(store_path());
  // Keep the new file locked until our caller unlocks: a process that was
  // waiting on the old file finds it replaced and opens the new one.
  flock(fd, LOCK_EX);
  close(g.fd);
  g.fd = fd;
  g.dev = st.st_dev;
  g.ino = st.st_ino;
  g.offset = static_cast<off_t>(image.size());
  g.compacted = g.offset;
  return true;
}

// Rewrites the journal as one record per key and value once that halves it.
void compact(RegTree& tree) {
  std::string image = image_of(tree);
  if (static_cast<off_t>(image.size()) * 2 > g.offset || !rewrite(image)) g.compacted = g.offset;
}

// From now on the registry lives in `tree` only.
void keep_in_memory(RegTree& tree, const char* why) {
  if (g.fd >= 0) close(g.fd);
  g.fd = -1;
  g.in_memory = true;
  reg_add_roots(tree);
  reg_report_in_memory(store_path(), why);
}

// The file cannot be opened for writing: what can still be read of it
// serves this session.
void open_failed(RegTree& tree, int error) {
  close_journal(tree);
  int fd = open(store_path().c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  std::string data;
  if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && read_rest(fd, 0, &data) && data.size() >= 8)
    scan(tree, data, 8);
  if (fd >= 0) close(fd);
  keep_in_memory(tree, strerror(error));
}

enum Loaded { LOADED, LOAD_DAMAGED, LOAD_FAILED };

// Applies the records after g.offset. LOAD_DAMAGED when damage lies
// between whole records: only an exclusive reload may mend that.
Loaded catch_up(RegTree& tree) {
  std::string data;
  if (!read_rest(g.fd, g.offset, &data)) return LOAD_FAILED;
  size_t from = 0;
  if (!g.offset) {
    if (data.empty()) return LOADED;  // a new store; its first writer starts it
    if (data.size() < 8 || memcmp(data.data(), kFileMagic, 8) != 0) return LOAD_DAMAGED;
    from = 8;
  }
  RegScan found = scan(tree, data, from);
  if (found.skipped) return LOAD_DAMAGED;
  if (!g.offset) g.compacted = static_cast<off_t>(found.end);
  g.offset += static_cast<off_t>(found.end);
  return LOADED;
}

// Reads the journal from the start under an exclusive lock and, when it is
// damaged, sets it aside and goes on in a rewritten one.
LONG load_exclusive(RegTree& tree) {
  std::string data;
  if (!read_rest(g.fd, 0, &data)) return ERROR_REGISTRY_IO_FAILED;
  if (data.empty()) {
    if (!write_all(g.fd, std::string(kFileMagic, 8), 0) || fdatasync(g.fd) != 0) {
      LONG error = write_error(errno);
      if (ftruncate(g.fd, 0) != 0) {
        // A torn magic is damage the next opening recovers from.
      }
      return error;
    }
    g.offset = g.compacted = 8;
    return ERROR_SUCCESS;
  }
  bool magic_ok = data.size() >= 8 && memcmp(data.data(), kFileMagic, 8) == 0;
  RegScan found = scan(tree, data, magic_ok ? 8 : 0);
  if (magic_ok && !found.skipped) {
    g.offset = g.compacted = static_cast<off_t>(found.end);
    return ERROR_SUCCESS;
  }
  found.skipped += data.size() - found.end;  // a tail after damage goes with it
  std::string aside = reg_set_aside(store_path(), data);
  if (aside.empty() || !rewrite(image_of(tree))) {
    int error = errno;
    if (!aside.empty()) unlink(aside.c_str());  // the damaged file itself stays where it is
    keep_in_memory(tree, strerror(error));
    return ERROR_SUCCESS;
  }
  reg_report_salvage(store_path(), aside, found);
  return ERROR_SUCCESS;
}

}  // namespace

LONG reg_journal_lock(RegTree& tree, bool exclusive) {
  if (g.in_memory) return ERROR_SUCCESS;
  const std::string& path = store_path();
  for (int attempt = 0; attempt < 16; attempt++) {
    if (g.fd < 0) {
      g.fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      struct stat st;
      if (g.fd < 0 || fstat(g.fd, &st) != 0) {
        int error = errno;
        // Out of descriptors or memory passes; a store that is no file,
        // or one we may not write, stays so for the session.
        if (error == EMFILE || error == ENFILE || error == ENOMEM || error == EINTR) {
          close_journal(tree);
          reg_add_roots(tree);
          return ERROR_REGISTRY_IO_FAILED;
        }
        open_failed(tree, error);
        return ERROR_SUCCESS;
      }
      g.dev = st.st_dev;
      g.ino = st.st_ino;
      g.offset = 0;
      tree.keys.clear();
      reg_add_roots(tree);
    }
    int rc;
    while ((rc = flock(g.fd, exclusive ? LOCK_EX : LOCK_SH)) != 0 && errno == EINTR) {
    }
    struct stat named;
    if (rc == 0 && stat(path.c_str(), &named) == 0 && named.st_dev == g.dev && named.st_ino == g.ino) {
      LONG failure = ERROR_REGISTRY_IO_FAILED;
      Loaded loaded;
      if (exclusive && !g.offset) {
        failure = load_exclusive(tree);
        loaded = failure == ERROR_SUCCESS ? LOADED : LOAD_FAILED;
      } else {
        loaded = catch_up(tree);
      }
      if (g.in_memory) return ERROR_SUCCESS;
      if (loaded == LOADED) {
        struct stat st;
        // What lies past the last whole record is a torn append of a
        // writer that died; cut it off before appending after it.
        if (exclusive && g.offset && fstat(g.fd, &st) == 0 && st.st_size > g.offset &&
            ftruncate(g.fd, g.offset) != 0) {
          flock(g.fd, LOCK_UN);
          return ERROR_REGISTRY_IO_FAILED;
        }
        return ERROR_SUCCESS;
      }
      if (loaded == LOAD_FAILED) {
        flock(g.fd, LOCK_UN);
        return failure;
      }
      // Damaged: read it all again under an exclusive lock and mend it.
      exclusive = true;
    }
    // The file was replaced (rewritten by another process), removed or
    // found damaged.
    close_journal(tree);
    reg_add_roots(tree);
  }
  return ERROR_REGISTRY_IO_FAILED;
}

void reg_journal_unlock() {
  if (g.fd >= 0) flock(g.fd, LOCK_UN);
}

LONG reg_journal_append(RegTree& tree, const RegRecord& record) {
  auto apply = [&] {
    if (record.op == RegRecord::kKey)
      reg_apply_key(tree, record.path);
    else
      reg_apply_value(tree, record.path, record.name, record.type, record.data);
  };
  if (g.in_memory) {
    apply();  // seen for the session, but the caller hears it was not saved
    return ERROR_REGISTRY_IO_FAILED;
  }
  std::string bytes = encode(record);
  if (!write_all(g.fd, bytes, g.offset) || fdatasync(g.fd) != 0) {
    LONG error = write_error(errno);
    if (ftruncate(g.fd, g.offset) != 0) {
      // The torn record stays; readers stop before it and the next
      // writer tries again to cut it off.
    }
    return error;
  }
  g.offset += static_cast<off_t>(bytes.size());
  apply();
  if (g.offset > kCompactMin && g.offset > 4 * g.compacted) compact(tree);
  return ERROR_SUCCESS;
}
