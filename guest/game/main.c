/* Breaker's start, window and loop: a PeekMessage loop that steps the game
   STEP_HZ times a second on the performance counter and sleeps between
   frames. Command line: -seed N (the random seed), -attract (start in the
   attract mode), -nointro, -seconds N (quit after N seconds of play time),
   -lives N (balls a game starts with, 3 unless said). */
#include <stdlib.h>
#include <string.h>

#include "game.h"

#define OPEN_ALWAYS 4
#define FILE_SHARE_READ 1
#define FRAME_SAMPLES 4096

HWND g_window;
static long long frame_work[FRAME_SAMPLES];
static int frames;

void game_log_line(const char* text) {
  HANDLE file = CreateFileA("breaker.log", GENERIC_WRITE, FILE_SHARE_READ, 0, OPEN_ALWAYS, 0, 0);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD done;
  SetFilePointer(file, 0, 0, FILE_END);
  WriteFile(file, text, (DWORD)strlen(text), &done, 0);
  CloseHandle(file);
}

static LRESULT WINAPI window_proc(HWND hwnd, unsigned message, WPARAM wParam, LPARAM lParam) {
  int x = (short)(lParam & 0xFFFF);
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
      }
      game_input_key(wParam, 1);
      return 0;
    case WM_KEYUP: game_input_key(wParam, 0); return 0;
    case WM_LBUTTONDOWN: game_input_pen(1, x); return 0;
    case WM_MOUSEMOVE: game_input_pen(-1, x); return 0;
    case WM_LBUTTONUP: game_input_pen(0, x); return 0;
    case WM_RBUTTONDOWN: game_pause_toggle(); return 0;
    case WM_ACTIVATEAPP:
      if (!wParam && g.state == S_PLAY && !g.attract) game_pause_toggle();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

static const char* option(const char* line, const char* name) {
  const char* at = strstr(line, name);
  return at ? at + strlen(name) : 0;
}

static int compare_times(const void* a, const void* b) {
  long long x = *(const long long*)a, y = *(const long long*)b;
  return x < y ? -1 : x > y;
}

/* Frame-time percentiles and the share of wall time the game thread worked. */
static void report_frames(long long frequency, long long elapsed) {
  int n = frames < FRAME_SAMPLES ? frames : FRAME_SAMPLES;
  if (n == 0 || elapsed <= 0) return;
  long long busy = 0;
  for (int i = 0; i < n; i++) busy += frame_work[i];
  qsort(frame_work, n, sizeof frame_work[0], compare_times);
  long long us = 1000000;
  game_log("frames %d in %d ms: work per frame p50 %d us, p95 %d us, p99 %d us, max %d us; busy %d.%d%%\n",
           frames, (int)(elapsed * 1000 / frequency), (int)(frame_work[n / 2] * us / frequency),
           (int)(frame_work[n * 95 / 100] * us / frequency), (int)(frame_work[n * 99 / 100] * us / frequency),
           (int)(frame_work[n - 1] * us / frequency), (int)(busy * 1000 / elapsed / 10),
           (int)(busy * 1000 / elapsed % 10));
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  const char* arg;
  int seconds = 0;
  g.seed = GetTickCount();
  if ((arg = option(command_line, "-seed "))) g.seed = (unsigned)atol(arg);
  if ((arg = option(command_line, "-seconds "))) seconds = atoi(arg);
  g.start_lives = 3;
  if ((arg = option(command_line, "-lives ")) && atoi(arg) >= 1 && atoi(arg) <= 9) g.start_lives = atoi(arg);

  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = window_proc;
  wc.hInstance = instance;
  wc.lpszClassName = "Breaker";
  if (!RegisterClassA(&wc)) {
    MessageBoxA(0, "The game's window class could not be registered.", "Breaker", MB_OK | MB_ICONERROR);
    return 1;
  }
  g_window = CreateWindowExA(0, "Breaker", "Breaker", WS_POPUP | WS_VISIBLE, 0, 0, SCREEN_W, SCREEN_H, 0, 0,
                             instance, 0);
  if (!g_window) {
    MessageBoxA(0, "The game's window could not be created.", "Breaker", MB_OK | MB_ICONERROR);
    return 1;
  }
  ShowWindow(g_window, SW_SHOW);
  UpdateWindow(g_window);
  scores_load();
  game_log("scores: best %lu\n", g_scores[0].score);
  screen_open(g_window);
  sound_open();
  if (!option(command_line, "-nointro") && !option(command_line, "-attract")) intro_play(g_window);
  game_reset_title();
  if (option(command_line, "-attract")) game_start(1);

  long long frequency, start, last, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  last = start;
  long long step = frequency / STEP_HZ, behind = 0;
  MSG msg;
  for (;;) {
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
      if (msg.message == 0x0012 /* WM_QUIT */) goto done;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    QueryPerformanceCounter(&now);
    behind += now - last;
    last = now;
    if (behind > step * 8) behind = step * 8; /* after a stall, do not race to catch up */
    if (behind >= step) {
      long long began = now;
      while (behind >= step) {
        game_step();
        behind -= step;
      }
      game_draw();
      screen_show(g.state == S_TITLE || g.state == S_SCORES);
      QueryPerformanceCounter(&now);
      frame_work[frames++ % FRAME_SAMPLES] = now - began;
    }
    if (seconds && now - start >= (long long)seconds * frequency) break;
    long long wait = (step - behind) * 1000 / frequency;
    Sleep(wait > 1 ? (DWORD)(wait - 1) : 1);
  }
done:
  QueryPerformanceCounter(&now);
  report_frames(frequency, now - start);
  sound_close();
  ExitProcess(0);
  return 0;
}
