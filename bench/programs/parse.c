/* A recursive-descent parser building an expression tree, then a
   recursive evaluator and printer: many small calls and recursion. */
#include "programs.h"

enum kind { NUM, VAR, ADD, SUB, MUL, DIV, NEG };
struct node {
  enum kind kind;
  int value;
  struct node *left, *right;
};

static struct node pool[4096];
static int used;
static const char* at;
static char text[8192];

static struct node* make(enum kind k, int v, struct node* l, struct node* r) {
  struct node* x = &pool[used++ & 4095];
  x->kind = k;
  x->value = v;
  x->left = l;
  x->right = r;
  return x;
}
static int peek(void) {
  while (*at == ' ') at++;
  return *at;
}
static struct node* expression(void);
static struct node* primary(void) {
  int c = peek();
  if (c == '(') {
    at++;
    struct node* e = expression();
    if (peek() == ')') at++;
    return e;
  }
  if (c == '-') {
    at++;
    return make(NEG, 0, primary(), 0);
  }
  if (c == 'x') {
    at++;
    return make(VAR, 0, 0, 0);
  }
  int v = 0;
  while (*at >= '0' && *at <= '9') v = v * 10 + (*at++ - '0');
  return make(NUM, v, 0, 0);
}
static struct node* term(void) {
  struct node* l = primary();
  for (;;) {
    int c = peek();
    if (c != '*' && c != '/') return l;
    at++;
    l = make(c == '*' ? MUL : DIV, 0, l, primary());
  }
}
static struct node* expression(void) {
  struct node* l = term();
  for (;;) {
    int c = peek();
    if (c != '+' && c != '-') return l;
    at++;
    l = make(c == '+' ? ADD : SUB, 0, l, term());
  }
}
static int eval(const struct node* e, int x) {
  switch (e->kind) {
    case NUM: return e->value;
    case VAR: return x;
    case ADD: return eval(e->left, x) + eval(e->right, x);
    case SUB: return eval(e->left, x) - eval(e->right, x);
    case MUL: return eval(e->left, x) * eval(e->right, x);
    case DIV: {
      int d = eval(e->right, x);
      return d ? eval(e->left, x) / d : 0;
    }
    case NEG: return -eval(e->left, x);
  }
  return 0;
}
static int depth(const struct node* e) {
  if (!e) return 0;
  int l = depth(e->left), r = depth(e->right);
  return 1 + (l > r ? l : r);
}

/* Writes a random expression of the given nesting into text. */
static unsigned seed;
static char* generate(char* p, int nesting) {
  seed = seed * 1103515245u + 12345u;
  unsigned r = seed >> 16;
  if (nesting == 0 || r % 5 == 0) {
    if (r & 1) {
      *p++ = 'x';
    } else {
      unsigned v = r % 97 + 1;
      if (v >= 10) *p++ = (char)('0' + v / 10);
      *p++ = (char)('0' + v % 10);
    }
    return p;
  }
  if (r % 7 == 1) {
    *p++ = '-';
    return generate(p, nesting - 1);
  }
  *p++ = '(';
  p = generate(p, nesting - 1);
  *p++ = ' ';
  *p++ = "+-*/"[(r >> 3) & 3];
  *p++ = ' ';
  p = generate(p, nesting - 1);
  *p++ = ')';
  return p;
}

unsigned prog_parse(unsigned n) {
  unsigned h = 0;
  seed = 99;
  for (unsigned round = 0; round < n; round++) {
    char* end = generate(text, 9);
    *end = 0;
    used = 0;
    at = text;
    struct node* tree = expression();
    h = h * 31 + (unsigned)depth(tree);
    for (int x = -3; x <= 3; x++) h = h * 31 + (unsigned)eval(tree, x);
  }
  return h;
}
