/* The game itself: title, play, pause, level change, game over and the
   high-score screen, stepped STEP_HZ times a second. The ball moves in
   doubles; an attract mode plays by itself after the title is idle. */
#include <stdio.h>
#include <string.h>

#include "game.h"

Game g;

#define DT (1.0 / STEP_HZ)
#define BALL_R (BALL_SIZE / 2.0)
#define START_SPEED 150.0
#define MAX_SPEED 330.0
#define IDLE_TO_ATTRACT (8 * STEP_HZ)

unsigned game_random(void) {
  g.seed = g.seed * 1103515245u + 12345u;
  return (g.seed >> 16) & 0x7FFF;
}

static double root(double x) {
  double r;
  __asm__("fsqrt" : "=t"(r) : "0"(x));
  return r;
}

void game_reset_title(void) {
  g.state = S_TITLE;
  g.attract = 0;
  g.idle_steps = 0;
  g.keys_left = g.keys_right = 0;
  sound_music(0);
}

static void serve(void) {
  g.ball_stuck = 1;
  g.speed = START_SPEED + 12.0 * (g.level - 1);
  g.timer = g.attract ? STEP_HZ / 2 : 0;
}

static void launch(void) {
  /* Up and slightly to one side; the side comes from the seeded random. */
  double t = ((int)(game_random() % 61) - 30) / 100.0;
  g.ball_vx = g.speed * t;
  g.ball_vy = -g.speed * root(1.0 - t * t);
  g.ball_stuck = 0;
}

static void begin_level(void) {
  level_load(g.level, &g.wall);
  g.paddle_x = (FIELD_LEFT + FIELD_RIGHT) / 2.0;
  serve();
}

void game_start(int attract) {
  g.attract = attract;
  g.level = 1;
  g.lives = g.start_lives;
  if (!attract) game_log("play: started\n");
  g.score = 0;
  g.paddle_w = 40.0;
  g.new_rank = -1;
  g.state = S_PLAY;
  begin_level();
  sound_music(!attract);
}

void game_pause_toggle(void) {
  if (g.state == S_PLAY && !g.attract) {
    g.state = S_PAUSE;
    g.pause_choice = 0;
    sound_music(0);
    game_log("play: paused\n");
  } else if (g.state == S_PAUSE) {
    g.state = S_PLAY;
    sound_music(1);
  }
}

static void pause_choose(void) {
  if (g.pause_choice == 0) game_pause_toggle();
  else game_reset_title();
}

/* Any input ends the attract mode and counts as activity on the title. */
static int wake(void) {
  g.idle_steps = 0;
  if (g.attract) {
    game_reset_title();
    return 1;
  }
  return 0;
}

void game_input_key(unsigned vk, int down) {
  if (vk == VK_LEFT) g.keys_left = down;
  if (vk == VK_RIGHT) g.keys_right = down;
  if (!down || wake()) return;
  switch (g.state) {
    case S_TITLE:
      if (vk == VK_RETURN || vk == VK_SPACE) game_start(0);
      break;
    case S_PLAY:
      if (vk == VK_SPACE && g.ball_stuck) launch();
      if (vk == 'P') game_pause_toggle();
      break;
    case S_PAUSE:
      if (vk == VK_UP || vk == VK_DOWN) g.pause_choice ^= 1;
      if (vk == VK_RETURN || vk == VK_SPACE) pause_choose();
      if (vk == 'P') game_pause_toggle();
      break;
    case S_GAME_OVER:
    case S_SCORES:
      if (vk == VK_RETURN || vk == VK_SPACE) game_reset_title();
      break;
    default:
      break;
  }
}

void game_input_pen(int down, int x) {
  int was_down = g.pen_down;
  g.pen_down = down >= 0 ? down : g.pen_down;
  g.pen_x = x;
  if (down != 1 || was_down) return; /* only a new press acts */
  if (wake()) return;
  switch (g.state) {
    case S_TITLE: game_start(0); break;
    case S_PLAY:
      if (g.ball_stuck) launch();
      break;
    case S_PAUSE: pause_choose(); break;
    case S_GAME_OVER:
    case S_SCORES: game_reset_title(); break;
    default: break;
  }
}

static void hit_brick(int row, int col) {
  unsigned char cell = g.wall.cell[row][col];
  if (cell == 7) {
    sound_play(SFX_STEEL);
    return;
  }
  if (--g.wall.hits[row][col] > 0) {
    sound_play(SFX_STEEL);
    return;
  }
  g.wall.cell[row][col] = 0;
  g.wall.left--;
  g.score += 10 * cell;
  sound_play(SFX_BRICK);
}

static int brick_at(double x, double y, int* row, int* col) {
  if (x < BRICK_X0 || y < BRICK_Y0) return 0;
  int c = (int)((x - BRICK_X0) / (BRICK_W + 2)), r = (int)((y - BRICK_Y0) / (BRICK_H + 2));
  if (c >= BRICK_COLS || r >= BRICK_ROWS || !g.wall.cell[r][c]) return 0;
  *row = r, *col = c;
  return 1;
}

static void lose_ball(void) {
  sound_play(SFX_LOSE);
  if (--g.lives > 0) {
    serve();
    return;
  }
  g.state = S_GAME_OVER;
  g.timer = 3 * STEP_HZ;
  sound_music(0);
  if (!g.attract) {
    g.new_rank = scores_add((DWORD)g.score, (DWORD)g.level);
    game_log("play: game over, score %d, level %d, rank %d\n", g.score, g.level, g.new_rank + 1);
  }
}

static void move_ball(double dt) {
  double px = g.ball_x, py = g.ball_y;
  g.ball_x += g.ball_vx * dt;
  g.ball_y += g.ball_vy * dt;
  if (g.ball_x < FIELD_LEFT + BALL_R) g.ball_x = FIELD_LEFT + BALL_R, g.ball_vx = -g.ball_vx, sound_play(SFX_BOUNCE);
  if (g.ball_x > FIELD_RIGHT - BALL_R) g.ball_x = FIELD_RIGHT - BALL_R, g.ball_vx = -g.ball_vx, sound_play(SFX_BOUNCE);
  if (g.ball_y < FIELD_TOP + BALL_R) g.ball_y = FIELD_TOP + BALL_R, g.ball_vy = -g.ball_vy, sound_play(SFX_BOUNCE);
  int row, col;
  if (brick_at(g.ball_x, g.ball_y, &row, &col)) {
    int prow, pcol;
    int same_col = !brick_at(px, py, &prow, &pcol) &&
                   (int)((px - BRICK_X0) / (BRICK_W + 2)) == col;
    if (same_col) g.ball_vy = -g.ball_vy, g.ball_y = py;
    else g.ball_vx = -g.ball_vx, g.ball_x = px;
    hit_brick(row, col);
  }
  double half = g.paddle_w / 2.0 + BALL_R;
  if (g.ball_vy > 0 && g.ball_y + BALL_R >= PADDLE_Y && py + BALL_R <= PADDLE_Y + PADDLE_H &&
      g.ball_x >= g.paddle_x - half && g.ball_x <= g.paddle_x + half) {
    double t = (g.ball_x - g.paddle_x) / half;
    if (t > 0.85) t = 0.85;
    if (t < -0.85) t = -0.85;
    if (g.speed < MAX_SPEED) g.speed *= 1.02;
    g.ball_vx = g.speed * t;
    g.ball_vy = -g.speed * root(1.0 - t * t);
    g.ball_y = PADDLE_Y - BALL_R;
    sound_play(SFX_BOUNCE);
  }
  if (g.ball_y > SCREEN_H + BALL_SIZE) lose_ball();
}

static void steer(void) {
  double target = g.paddle_x;
  if (g.attract) {
    /* Follows the ball, a little late and a little off, as a player would. */
    double aim = g.ball_stuck ? (FIELD_LEFT + FIELD_RIGHT) / 2.0 : g.ball_x + ((int)(game_random() % 9) - 4);
    double d = aim - g.paddle_x;
    target = g.paddle_x + (d > 3.5 ? 3.5 : d < -3.5 ? -3.5 : d);
  } else if (g.pen_down) {
    target = g.pen_x;
  } else {
    target += 4.0 * (g.keys_right - g.keys_left);
  }
  double half = g.paddle_w / 2.0;
  if (target < FIELD_LEFT + half) target = FIELD_LEFT + half;
  if (target > FIELD_RIGHT - half) target = FIELD_RIGHT - half;
  g.paddle_x = target;
}

void game_step(void) {
  switch (g.state) {
    case S_TITLE:
      if (++g.idle_steps >= IDLE_TO_ATTRACT) game_start(1);
      break;
    case S_PLAY:
      steer();
      if (g.ball_stuck) {
        g.ball_x = g.paddle_x;
        g.ball_y = PADDLE_Y - BALL_R - 1;
        if (g.attract && --g.timer <= 0) launch();
        break;
      }
      move_ball(DT / 2);
      if (g.state == S_PLAY && !g.ball_stuck) move_ball(DT / 2);
      if (g.state == S_PLAY && g.wall.left == 0) {
        g.state = S_LEVEL_DONE;
        g.timer = 3 * STEP_HZ / 2;
        sound_play(SFX_LEVEL);
      }
      break;
    case S_LEVEL_DONE:
      if (--g.timer <= 0) {
        g.level = g.level % MAX_LEVELS + 1;
        g.state = S_PLAY;
        begin_level();
      }
      break;
    case S_GAME_OVER:
      if (--g.timer <= 0) {
        if (g.attract) game_reset_title();
        else g.state = S_SCORES, g.timer = 6 * STEP_HZ;
      }
      break;
    case S_SCORES:
      if (--g.timer <= 0) game_reset_title();
      break;
    default:
      break;
  }
}

static void draw_field(void) {
  char line[48];
  canvas_clear(C_DARK);
  canvas_rect(0, 0, SCREEN_W, FIELD_TOP - 2, C_BLACK);
  canvas_rect(FIELD_LEFT - 4, FIELD_TOP - 2, 4, SCREEN_H, C_GREY);
  canvas_rect(FIELD_RIGHT, FIELD_TOP - 2, 4, SCREEN_H, C_GREY);
  canvas_rect(FIELD_LEFT - 4, FIELD_TOP - 2, FIELD_RIGHT - FIELD_LEFT + 8, 2, C_GREY);
  sprintf(line, "SCORE %06d", g.score);
  canvas_text(8, 5, line, C_TEXT, 1);
  sprintf(line, "LEVEL %d", g.level);
  canvas_text(136, 5, line, C_TEXT, 1);
  for (int i = 0; i < g.lives; i++) canvas_rect(300 - i * 14, 6, 10, 5, C_STEEL);
  if (g.attract) canvas_text(214, 5, "DEMO", C_RED, 1);
  for (int row = 0; row < BRICK_ROWS; row++)
    for (int col = 0; col < BRICK_COLS; col++) {
      unsigned char cell = g.wall.cell[row][col];
      if (!cell) continue;
      int x = BRICK_X0 + col * (BRICK_W + 2), y = BRICK_Y0 + row * (BRICK_H + 2);
      unsigned char colour = cell == 7 ? C_STEEL : cell == 6 ? (g.wall.hits[row][col] > 1 ? C_WHITE : C_GREY)
                                                             : (unsigned char)(C_RED + cell - 1);
      canvas_rect(x, y, BRICK_W, BRICK_H, colour);
      canvas_rect(x, y + BRICK_H - 2, BRICK_W, 2, C_DIM);
    }
  canvas_rect((int)(g.paddle_x - g.paddle_w / 2), PADDLE_Y, (int)g.paddle_w, PADDLE_H, C_STEEL);
  canvas_rect((int)(g.paddle_x - g.paddle_w / 2), PADDLE_Y, (int)g.paddle_w, 1, C_WHITE);
  canvas_rect((int)(g.ball_x - BALL_R), (int)(g.ball_y - BALL_R), BALL_SIZE, BALL_SIZE, C_WHITE);
}

static void draw_title(void) {
  for (int y = 0; y < SCREEN_H; y++) memset(g_canvas[y], C_SKY + y * 32 / SCREEN_H, SCREEN_W);
  canvas_text_centre(40, "BREAKER", C_YELLOW, 5);
  canvas_text_centre(100, "TAP OR PRESS ENTER TO PLAY", C_WHITE, 1);
  canvas_text_centre(116, "ARROWS OR PEN MOVE - SPACE OR TAP LAUNCHES", C_TEXT, 1);
  canvas_text_centre(128, "HOLD THE PEN OR P TO PAUSE - ESC QUITS", C_TEXT, 1);
  char line[48];
  sprintf(line, "BEST %06lu", g_scores[0].score);
  canvas_text_centre(160, line, C_CYAN, 2);
}

static void draw_scores(void) {
  char line[48];
  for (int y = 0; y < SCREEN_H; y++) memset(g_canvas[y], C_SKY + y * 32 / SCREEN_H, SCREEN_W);
  canvas_text_centre(16, "HIGH SCORES", C_YELLOW, 3);
  for (int i = 0; i < HISCORES; i++) {
    sprintf(line, "%d.  %06lu   LEVEL %lu", i + 1, g_scores[i].score, g_scores[i].level);
    canvas_text_centre(60 + i * 18, line, i == g.new_rank ? C_YELLOW : C_WHITE, 1);
  }
}

void game_draw(void) {
  switch (g.state) {
    case S_TITLE: draw_title(); break;
    case S_SCORES: draw_scores(); break;
    default:
      draw_field();
      if (g.state == S_PAUSE) {
        canvas_rect(90, 90, 140, 64, C_BLACK);
        canvas_frame(90, 90, 140, 64, C_WHITE);
        canvas_text_centre(98, "PAUSED", C_YELLOW, 2);
        canvas_text_centre(122, g.pause_choice == 0 ? "> RESUME <" : "RESUME", C_WHITE, 1);
        canvas_text_centre(136, g.pause_choice == 1 ? "> QUIT TO TITLE <" : "QUIT TO TITLE", C_WHITE, 1);
      } else if (g.state == S_LEVEL_DONE) {
        canvas_text_centre(150, "LEVEL CLEARED", C_YELLOW, 2);
      } else if (g.state == S_GAME_OVER) {
        canvas_text_centre(130, "GAME OVER", C_RED, 3);
      } else if (g.ball_stuck && !g.attract) {
        canvas_text_centre(170, "SPACE OR TAP TO LAUNCH", C_TEXT, 1);
      }
  }
}
