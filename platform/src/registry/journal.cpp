// The registry journal: a file of checksummed records, each appended and
// flushed to the disk before the change is acknowledged. A process killed
// while appending leaves at most one torn record at the end, which readers
// ignore and the next writer cuts off. Several processes may share the
// file: a file lock orders their appends, and each catches up with the
// others' records before it answers. When the journal has grown well past
// its contents it is rewritten whole (new file, flushed, renamed over).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "store.h"
#include "wce/device.h"

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

bool read_at(off_t at, void* buffer, size_t n) {
  char* p = static_cast<char*>(buffer);
  while (n) {
    ssize_t got = pread(g.fd, p, n, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got, n -= static_cast<size_t>(got), at += got;
  }
  return true;
}

bool write_all(int fd, const std::string& data, off_t at) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t put = pwrite(fd, data.data() + done, data.size() - done, at + static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Applies every whole record after g.offset; stops at the first torn or
// damaged one.
void replay(RegTree& tree) {
  for (;;) {
    RecordHeader h;
    if (!read_at(g.offset, &h, sizeof h) || h.magic != kRecordMagic || h.length > kMaxRecord) return;
    std::string payload(h.length, '\0');
    if (!read_at(g.offset + static_cast<off_t>(sizeof h), payload.data(), h.length) || crc32(payload) != h.crc)
      return;
    if (!apply_payload(tree, payload)) return;
    g.offset += static_cast<off_t>(sizeof h + h.length);
  }
}

// Checks (and, when writing, creates) the file's magic.
bool start(bool exclusive) {
  if (g.offset) return true;
  struct stat st;
  if (fstat(g.fd, &st) != 0) return false;
  if (st.st_size == 0) {
    if (!exclusive) return true;
    if (!write_all(g.fd, std::string(kFileMagic, 8), 0) || fdatasync(g.fd) != 0) return false;
    g.offset = 8;
    return true;
  }
  char magic[8];
  if (!read_at(0, magic, 8) || memcmp(magic, kFileMagic, 8) != 0) return false;
  g.offset = 8;
  return true;
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

// Rewrites the journal as one record per key and value.
void compact(RegTree& tree) {
  std::string image(kFileMagic, 8);
  for (const auto& [folded, key] : tree.keys) {
    image += encode(RegRecord{RegRecord::kKey, key.path, u"", 0, ""});
    for (const auto& [vfolded, value] : key.values)
      image += encode(RegRecord{RegRecord::kValue, key.path, value.name, value.type, value.data});
  }
  if (static_cast<off_t>(image.size()) * 2 > g.offset) {
    g.compacted = g.offset;
    return;
  }
  std::string fresh = store_path() + ".new";
  int fd = open(fresh.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  struct stat st;
  if (!write_all(fd, image, 0) || fsync(fd) != 0 || fstat(fd, &st) != 0 ||
      rename(fresh.c_str(), store_path().c_str()) != 0) {
    close(fd);
    unlink(fresh.c_str());
    return;  // the old journal stays whole and in use
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
}

}  // namespace

bool reg_journal_lock(RegTree& tree, bool exclusive) {
  const std::string& path = store_path();
  for (int attempt = 0; attempt < 16; attempt++) {
    if (g.fd < 0) {
      g.fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      struct stat st;
      if (g.fd < 0 || fstat(g.fd, &st) != 0) {
        close_journal(tree);
        reg_add_roots(tree);
        return false;
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
      bool fresh = g.offset == 0;
      if (!start(exclusive)) {
        flock(g.fd, LOCK_UN);
        return false;
      }
      replay(tree);
      if (fresh) g.compacted = g.offset;
      struct stat st;
      // What lies past the last whole record is a torn append of a
      // writer that died; cut it off before appending after it.
      if (exclusive && g.offset && fstat(g.fd, &st) == 0 && st.st_size > g.offset) {
        if (ftruncate(g.fd, g.offset) != 0) {
          flock(g.fd, LOCK_UN);
          return false;
        }
      }
      return true;
    }
    // The file was replaced (rewritten by another process) or removed.
    close_journal(tree);
    reg_add_roots(tree);
  }
  return false;
}

void reg_journal_unlock() {
  if (g.fd >= 0) flock(g.fd, LOCK_UN);
}

bool reg_journal_append(RegTree& tree, const RegRecord& record) {
  std::string bytes = encode(record);
  if (!write_all(g.fd, bytes, g.offset) || fdatasync(g.fd) != 0) {
    if (ftruncate(g.fd, g.offset) != 0) {
      // The torn record stays; readers stop before it and the next
      // writer tries again to cut it off.
    }
    return false;
  }
  g.offset += static_cast<off_t>(bytes.size());
  if (record.op == RegRecord::kKey)
    reg_apply_key(tree, record.path);
  else
    reg_apply_value(tree, record.path, record.name, record.type, record.data);
  if (g.offset > kCompactMin && g.offset > 4 * g.compacted) compact(tree);
  return true;
}
