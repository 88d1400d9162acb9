/* Levels: text files levels\levelN.txt in the game folder, eight rows of
   ten cells ('.' empty, '1'-'5' bricks, '6' a brick that takes two hits,
   '#' steel); lines starting with ';' are comments. A missing or damaged
   file is reported once and replaced by a built-in wall. */
#include <stdio.h>
#include <string.h>

#include "game.h"

static int parse(const char* text, DWORD size, Wall* wall) {
  int row = 0;
  DWORD i = 0;
  memset(wall, 0, sizeof *wall);
  while (i < size && row < BRICK_ROWS) {
    DWORD start = i;
    while (i < size && text[i] != '\n') i++;
    DWORD end = i++;
    if (end > start && text[end - 1] == '\r') end--;
    if (end == start || text[start] == ';') continue;
    if (end - start != BRICK_COLS) return 0;
    for (int col = 0; col < BRICK_COLS; col++) {
      char c = text[start + col];
      unsigned char cell;
      if (c == '.') cell = 0;
      else if (c >= '1' && c <= '6') cell = (unsigned char)(c - '0');
      else if (c == '#') cell = 7;
      else return 0;
      wall->cell[row][col] = cell;
      wall->hits[row][col] = cell == 6 ? 2 : 1;
      if (cell >= 1 && cell <= 6) wall->left++;
    }
    row++;
  }
  return wall->left > 0;
}

static void built_in(int number, Wall* wall) {
  memset(wall, 0, sizeof *wall);
  for (int row = 1; row < 1 + 4 + number % 3; row++)
    for (int col = 0; col < BRICK_COLS; col++) {
      unsigned char cell = (unsigned char)(1 + (row + number) % 5);
      if (number > 2 && row == 3 && (col == 2 || col == 7)) cell = 7;
      wall->cell[row][col] = cell;
      wall->hits[row][col] = 1;
      if (cell != 7) wall->left++;
    }
}

int level_load(int number, Wall* wall) {
  static int reported[MAX_LEVELS + 1];
  char name[64], text[1024];
  DWORD size = 0;
  sprintf(name, "levels\\level%d.txt", number);
  HANDLE file = CreateFileA(name, GENERIC_READ, 1, 0, OPEN_EXISTING, 0, 0);
  int ok = 0;
  if (file != INVALID_HANDLE_VALUE) {
    ok = ReadFile(file, text, sizeof text, &size, 0) && size < sizeof text && parse(text, size, wall);
    CloseHandle(file);
  }
  if (ok) return 1;
  if (number >= 1 && number <= MAX_LEVELS && !reported[number]) {
    reported[number] = 1;
    game_log("level %d: %s; playing a built-in wall\n", number,
             file == INVALID_HANDLE_VALUE ? "file missing" : "file damaged");
  }
  built_in(number, wall);
  return 0;
}
