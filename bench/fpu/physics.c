/* An x87 physics loop in doubles (products, sums, quotients and square
   roots): particles drawn to a centre, run as a translated module and
   natively for the ratio of the two. The digests differ in their low bits:
   the software x87 truncates where the hardware rounds. */
#define COUNT 256
#define STEPS 200

static double px[COUNT], py[COUNT], vx[COUNT], vy[COUNT], mass[COUNT];

unsigned physics_run(void) {
  unsigned seed = 12345;
  for (int i = 0; i < COUNT; i++) {
    seed = seed * 1103515245u + 12345u;
    px[i] = (double)(seed >> 16 & 0x3FF) / 64.0 - 8.0;
    seed = seed * 1103515245u + 12345u;
    py[i] = (double)(seed >> 16 & 0x3FF) / 64.0 - 8.0;
    vx[i] = 0.0;
    vy[i] = 0.0;
    mass[i] = 1.0 + (double)(i & 7) / 8.0;
  }
  const double dt = 0.01, damping = 0.999;
  for (int step = 0; step < STEPS; step++) {
    for (int i = 0; i < COUNT; i++) {
      double dx = -px[i], dy = -py[i];
      double d2 = dx * dx + dy * dy + 0.01;
      double d = __builtin_sqrt(d2);
      double f = mass[i] / (d2 * d);
      vx[i] = vx[i] * damping + dx * f * dt;
      vy[i] = vy[i] * damping + dy * f * dt;
      px[i] += vx[i] * dt;
      py[i] += vy[i] * dt;
    }
  }
  double sum = 0.0;
  for (int i = 0; i < COUNT; i++) sum += px[i] * px[i] + py[i] * py[i];
  return (unsigned)(long long)(sum * 1000.0);
}

#ifdef _WIN32
int __attribute__((stdcall)) WinMain(void* instance, void* previous, char* command_line, int show) {
  return (int)physics_run();
}
#endif
