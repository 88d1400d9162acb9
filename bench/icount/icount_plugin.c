/* A qemu-user plugin that counts the guest instructions each translation
   block runs. At exit it writes "vaddr count" lines, then the line "maps"
   and qemu's own memory map, from which icount.py finds where each guest
   file lies. Built for the host by icount.sh; qemu's plugin interface
   version 1 (qemu 7), declared here because Debian ships no header. */
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
typedef struct {
  const char* target_name;
  struct { int min, cur; } version;
  bool system_emulation;
  union { struct { int smp_vcpus, max_vcpus; } system; };
} qemu_info_t;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };
typedef void (*tb_trans_cb)(qemu_plugin_id_t, struct qemu_plugin_tb*);
typedef void (*atexit_cb)(qemu_plugin_id_t, void*);
void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t, tb_trans_cb);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb*, enum qemu_plugin_op, void*, uint64_t);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb*);
uint64_t qemu_plugin_tb_vaddr(const struct qemu_plugin_tb*);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t, atexit_cb, void*);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

/* One counter per translated block; a block translated again gets another
   one, and icount.py adds them up by address. */
typedef struct Block {
  uint64_t vaddr, count;
  struct Block* next;
} Block;
static Block* blocks;
static const char* out_path = "icount.out";

static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
  (void)id;
  Block* b = calloc(1, sizeof *b);
  if (!b) abort();
  b->vaddr = qemu_plugin_tb_vaddr(tb);
  b->next = blocks;
  blocks = b;
  qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &b->count, qemu_plugin_tb_n_insns(tb));
}

static void on_qemu_exit(qemu_plugin_id_t id, void* unused) {
  (void)id;
  (void)unused;
  FILE* f = fopen(out_path, "w");
  if (!f) {
    perror(out_path);
    return;
  }
  for (const Block* b = blocks; b; b = b->next)
    if (b->count) fprintf(f, "%llx %llu\n", (unsigned long long)b->vaddr, (unsigned long long)b->count);
  fputs("maps\n", f);
  FILE* maps = fopen("/proc/self/maps", "r");
  char line[4096];
  while (maps && fgets(line, sizeof line, maps)) fputs(line, f);
  if (maps) fclose(maps);
  fclose(f);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t* info, int argc,
                                                                 char** argv) {
  (void)info;
  for (int i = 0; i < argc; i++)
    if (!strncmp(argv[i], "out=", 4)) out_path = argv[i] + 4;
  qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
  qemu_plugin_register_atexit_cb(id, on_qemu_exit, NULL);
  return 0;
}
