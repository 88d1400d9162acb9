/* The high-score table and options in the registry
   (HKEY_CURRENT_USER\Software\Tavrin\Breaker, value "Scores"). When the
   registry cannot keep them the table lives on for this session and the
   player is told once. */
#include <string.h>

#include "game.h"

HiScore g_scores[HISCORES];
static const char kKey[] = "Software\\Tavrin\\Breaker";

void scores_load(void) {
  HKEY key;
  DWORD type = 0, size = sizeof g_scores;
  memset(g_scores, 0, sizeof g_scores);
  if (RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key) != 0) return;
  if (RegQueryValueExA(key, "Scores", 0, &type, g_scores, &size) != 0 || type != REG_BINARY ||
      size != sizeof g_scores)
    memset(g_scores, 0, sizeof g_scores);
  RegCloseKey(key);
  /* A table edited by hand may be out of order: keep it sorted. */
  for (int i = 1; i < HISCORES; i++)
    for (int j = i; j > 0 && g_scores[j].score > g_scores[j - 1].score; j--) {
      HiScore t = g_scores[j];
      g_scores[j] = g_scores[j - 1];
      g_scores[j - 1] = t;
    }
}

static void save(void) {
  static int warned;
  HKEY key;
  long result = RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key);
  if (result == 0) {
    result = RegSetValueExA(key, "Scores", 0, REG_BINARY, g_scores, sizeof g_scores);
    RegCloseKey(key);
  }
  if (result != 0) {
    game_log("high scores not saved (error %ld)\n", result);
    if (!warned && !g.attract) {
      warned = 1;
      MessageBoxA(g_window, "The high scores cannot be saved on this device; they are kept until you quit.",
                  "Breaker", MB_OK | MB_ICONWARNING);
    }
  }
}

int scores_add(DWORD score, DWORD level) {
  int rank = HISCORES;
  while (rank > 0 && g_scores[rank - 1].score < score) rank--;
  if (rank >= HISCORES || score == 0) return -1;
  memmove(&g_scores[rank + 1], &g_scores[rank], (HISCORES - 1 - rank) * sizeof g_scores[0]);
  g_scores[rank].score = score;
  g_scores[rank].level = level;
  save();
  return rank;
}
