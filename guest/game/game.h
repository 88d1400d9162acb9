/* Brick-breaker: the state every part of the game shares. The play field
   is 320x240 in 8-bit colour; physics in doubles (x87). */
#ifndef GAME_GAME_H
#define GAME_GAME_H
#include "gamewin.h"

#define SCREEN_W 320
#define SCREEN_H 240
#define FIELD_LEFT 8
#define FIELD_RIGHT 312
#define FIELD_TOP 20
#define BRICK_COLS 10
#define BRICK_ROWS 8
#define BRICK_W 28
#define BRICK_H 10
#define BRICK_X0 13
#define BRICK_Y0 32
#define PADDLE_Y 222
#define PADDLE_H 6
#define BALL_SIZE 4
#define MAX_LEVELS 9
#define HISCORES 8
#define STEP_HZ 60

/* Palette indices. */
enum {
  C_BLACK = 0, C_WHITE = 1, C_RED = 2, C_ORANGE = 3, C_YELLOW = 4, C_GREEN = 5, C_CYAN = 6,
  C_BLUE = 7, C_STEEL = 8, C_GREY = 9, C_DARK = 10, C_TEXT = 11, C_DIM = 12, C_SKY = 16
};

typedef enum { S_TITLE, S_PLAY, S_PAUSE, S_LEVEL_DONE, S_GAME_OVER, S_SCORES } GameState;

typedef struct {
  /* 0 empty, 1-6 bricks of that colour (6 takes two hits), 7 steel. */
  unsigned char cell[BRICK_ROWS][BRICK_COLS];
  int hits[BRICK_ROWS][BRICK_COLS];
  int left; /* breakable bricks still standing */
} Wall;

typedef struct {
  GameState state;
  int attract;    /* the game plays itself */
  int level, lives, score;
  double paddle_x, paddle_w; /* centre, width */
  double ball_x, ball_y, ball_vx, ball_vy, speed;
  int ball_stuck; /* resting on the paddle until launched */
  Wall wall;
  int timer;      /* steps left in a timed state */
  int idle_steps; /* steps without input on the title */
  unsigned seed;
  int keys_left, keys_right;
  int pen_down, pen_x;
  int pause_choice;
  int new_rank;   /* place of the last score in the table, or -1 */
  int start_lives;
} Game;

typedef struct {
  DWORD score, level;
} HiScore;

extern Game g;
extern HiScore g_scores[HISCORES];
extern HWND g_window;
extern unsigned char g_canvas[SCREEN_H][SCREEN_W];

/* canvas.c: drawing into the 8-bit canvas. */
void canvas_clear(unsigned char colour);
void canvas_rect(int x, int y, int w, int h, unsigned char colour);
void canvas_frame(int x, int y, int w, int h, unsigned char colour);
int canvas_text(int x, int y, const char* text, unsigned char colour, int scale);
int canvas_text_width(const char* text, int scale);
void canvas_text_centre(int y, const char* text, unsigned char colour, int scale);
void palette_colours(PALETTEENTRY out[256]);

/* screen.c: showing the canvas (DirectDraw in play, WinG in menus). */
int screen_open(HWND window);
void screen_show(int menus);

/* play.c */
void game_reset_title(void);
void game_start(int attract);
void game_step(void);
void game_draw(void);
void game_input_pen(int down, int x);
void game_input_key(unsigned vk, int down);
void game_pause_toggle(void);
unsigned game_random(void);

/* levels.c */
int level_load(int number, Wall* wall); /* 1 from the file, 0 built in */

/* scores.c */
void scores_load(void);
int scores_add(DWORD score, DWORD level); /* rank or -1 */

/* sound.c */
enum { SFX_BOUNCE, SFX_BRICK, SFX_STEEL, SFX_LOSE, SFX_LEVEL, SFX_COUNT };
int sound_open(void);
void sound_play(int effect);
void sound_music(int on);
void sound_close(void);

/* intro.c */
void intro_play(HWND window);

/* The game's own log file beside the program (frame times, problems). */
void game_log_line(const char* text);
#define game_log(...)               \
  do {                              \
    char log_line_[256];            \
    wsprintfA(log_line_, __VA_ARGS__); \
    game_log_line(log_line_);       \
  } while (0)
#endif
