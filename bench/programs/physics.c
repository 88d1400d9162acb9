/* Particles in doubles on the x87: gravity, drag through a square root,
   a division per step and bouncing off the floor and walls. */
#include "programs.h"

struct particle {
  double x, y, vx, vy, mass;
};

static struct particle cloud[256];

static double root(double v) { return __builtin_sqrt(v); }

unsigned prog_physics(unsigned n) {
  for (int i = 0; i < 256; i++) {
    cloud[i].x = i * 0.75;
    cloud[i].y = 50.0 + (i % 17) * 2.5;
    cloud[i].vx = (i % 7) - 3.0;
    cloud[i].vy = (i % 5) * 0.5;
    cloud[i].mass = 1.0 + (i % 3);
  }
  const double dt = 0.01, g = -9.81, drag = 0.02;
  double energy = 0.0;
  for (unsigned step = 0; step < n; step++) {
    for (int i = 0; i < 256; i++) {
      struct particle* p = &cloud[i];
      double speed = root(p->vx * p->vx + p->vy * p->vy);
      double k = drag * speed / p->mass;
      p->vx -= k * p->vx * dt;
      p->vy += (g - k * p->vy) * dt;
      p->x += p->vx * dt;
      p->y += p->vy * dt;
      if (p->y < 0.0) {
        p->y = -p->y;
        p->vy = -p->vy * 0.9;
      }
      if (p->x < 0.0 || p->x > 200.0) p->vx = -p->vx;
    }
  }
  for (int i = 0; i < 256; i++) energy += 0.5 * cloud[i].mass * (cloud[i].vx * cloud[i].vx + cloud[i].vy * cloud[i].vy);
  /* Rounded, so that the last bits of the emulated x87 do not decide. */
  return (unsigned)(long long)(energy * 1000.0 + 0.5);
}
