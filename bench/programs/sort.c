/* Sorting through comparison function pointers: insertion sort and a
   shell sort over records, with several comparators. */
#include "programs.h"

struct record {
  int key;
  unsigned id;
  short weight;
};

typedef int (*compare_fn)(const struct record*, const struct record*);

static int by_key(const struct record* a, const struct record* b) { return a->key < b->key ? -1 : a->key > b->key; }
static int by_id_desc(const struct record* a, const struct record* b) { return a->id > b->id ? -1 : a->id < b->id; }
static int by_weight_then_key(const struct record* a, const struct record* b) {
  if (a->weight != b->weight) return a->weight - b->weight;
  return by_key(a, b);
}

static void insertion_sort(struct record* r, int n, compare_fn cmp) {
  for (int i = 1; i < n; i++) {
    struct record v = r[i];
    int j = i - 1;
    while (j >= 0 && cmp(&r[j], &v) > 0) {
      r[j + 1] = r[j];
      j--;
    }
    r[j + 1] = v;
  }
}

static void shell_sort(struct record* r, int n, compare_fn cmp) {
  static const int gaps[] = {701, 301, 132, 57, 23, 10, 4, 1};
  for (int g = 0; g < 8; g++) {
    int gap = gaps[g];
    for (int i = gap; i < n; i++) {
      struct record v = r[i];
      int j = i;
      while (j >= gap && cmp(&r[j - gap], &v) > 0) {
        r[j] = r[j - gap];
        j -= gap;
      }
      r[j] = v;
    }
  }
}

static struct record items[2000];

unsigned prog_sort(unsigned n) {
  unsigned seed = 7, h = 0;
  static const compare_fn comparators[] = {by_key, by_id_desc, by_weight_then_key};
  for (unsigned round = 0; round < n; round++) {
    for (int i = 0; i < 2000; i++) {
      seed = seed * 1103515245u + 12345u;
      items[i].key = (int)(seed >> 8) - 0x400000;
      items[i].id = seed ^ (unsigned)i;
      items[i].weight = (short)((seed >> 20) & 15);
    }
    compare_fn cmp = comparators[round % 3];
    insertion_sort(items, 300, cmp);
    shell_sort(items, 2000, cmp);
    for (int i = 0; i < 2000; i += 7) h = h * 33 + (unsigned)items[i].key + items[i].id;
  }
  return h;
}
