/* Objects with tables of function pointers (virtual calls): a scene of
   entities of several kinds updated and queried every frame. */
#include "programs.h"

struct entity;
struct entity_ops {
  void (*update)(struct entity*, int tick);
  int (*score)(const struct entity*);
  int (*hit)(struct entity*, int x, int y);
};
struct entity {
  const struct entity_ops* ops;
  int x, y, dx, dy, hp, state;
};

static void walker_update(struct entity* e, int tick) {
  e->x += e->dx;
  if (e->x < 0 || e->x > 1000) e->dx = -e->dx;
  e->state = tick & 3;
}
static int walker_score(const struct entity* e) { return e->x + e->hp; }
static int walker_hit(struct entity* e, int x, int y) {
  int d = (e->x - x) * (e->x - x) + (e->y - y) * (e->y - y);
  if (d < 400) e->hp--;
  return d < 400;
}
static void flyer_update(struct entity* e, int tick) {
  e->x += e->dx;
  e->y += e->dy;
  if (e->y < 0 || e->y > 800) e->dy = -e->dy;
  if ((tick & 15) == 0) e->dx = -e->dx;
}
static int flyer_score(const struct entity* e) { return e->y * 2 - e->x; }
static int flyer_hit(struct entity* e, int x, int y) {
  int hit = e->x / 16 == x / 16 && e->y / 16 == y / 16;
  e->hp -= hit * 2;
  return hit;
}
static void turret_update(struct entity* e, int tick) { e->state = (e->state * 5 + tick) & 255; }
static int turret_score(const struct entity* e) { return e->state ^ e->hp; }
static int turret_hit(struct entity* e, int x, int y) { return (e->state & 7) == ((x ^ y) & 7); }

static const struct entity_ops walker = {walker_update, walker_score, walker_hit};
static const struct entity_ops flyer = {flyer_update, flyer_score, flyer_hit};
static const struct entity_ops turret = {turret_update, turret_score, turret_hit};
static const struct entity_ops* const kinds[] = {&walker, &flyer, &turret};

static struct entity scene[512];

unsigned prog_dispatch(unsigned n) {
  unsigned seed = 3, h = 0;
  for (int i = 0; i < 512; i++) {
    seed = seed * 1103515245u + 12345u;
    struct entity* e = &scene[i];
    e->ops = kinds[(seed >> 12) % 3];
    e->x = (int)(seed >> 8) % 1000;
    e->y = (int)(seed >> 14) % 800;
    e->dx = (int)(seed & 7) - 3;
    e->dy = (int)((seed >> 3) & 7) - 3;
    e->hp = 100;
    e->state = 0;
  }
  for (unsigned tick = 0; tick < n; tick++) {
    int hits = 0, score = 0;
    for (int i = 0; i < 512; i++) scene[i].ops->update(&scene[i], (int)tick);
    for (int i = 0; i < 512; i++) hits += scene[i].ops->hit(&scene[i], (int)(tick * 7 % 1000), (int)(tick * 3 % 800));
    for (int i = 0; i < 512; i++) score += scene[i].ops->score(&scene[i]);
    h = h * 31 + (unsigned)score + (unsigned)hits * 7;
  }
  return h;
}
