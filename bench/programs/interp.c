/* A bytecode interpreter: one dense switch in one large function, as a
   game's script engine or message loop is written. */
#include "programs.h"

enum {
  OP_PUSH, OP_LOAD, OP_STORE, OP_ADD, OP_SUB, OP_MUL, OP_AND, OP_XOR, OP_SHL, OP_SHR,
  OP_DUP, OP_DROP, OP_SWAP, OP_JMP, OP_JZ, OP_JNZ, OP_LT, OP_EQ, OP_INC, OP_DEC,
  OP_NEG, OP_MOD, OP_CALL, OP_RET, OP_HALT
};

static const unsigned char program[] = {
    /* i = n: locals[0]; acc: locals[1]; k: locals[2] */
    OP_LOAD, 3, OP_STORE, 0,
    OP_PUSH, 1, OP_STORE, 1,
    /* loop (8): */
    OP_LOAD, 0, OP_JZ, 57,
    OP_LOAD, 1, OP_PUSH, 33, OP_MUL, OP_LOAD, 0, OP_XOR, OP_STORE, 1,
    OP_LOAD, 1, OP_PUSH, 7, OP_SHR, OP_LOAD, 1, OP_ADD, OP_STORE, 1,
    OP_LOAD, 0, OP_PUSH, 3, OP_MOD, OP_JNZ, 41,
    OP_CALL, 61,
    /* 41: */
    OP_LOAD, 0, OP_DEC, OP_STORE, 0,
    OP_LOAD, 1, OP_DUP, OP_PUSH, 5, OP_SHL, OP_SWAP, OP_SUB, OP_DROP,
    OP_JMP, 8,
    /* 57: */
    OP_LOAD, 1, OP_HALT, 0,
    /* 61: subroutine: acc = acc + (acc < 1000 ? 1 : -1) * k */
    OP_LOAD, 2, OP_INC, OP_STORE, 2,
    OP_LOAD, 1, OP_PUSH, 100, OP_LT, OP_JZ, 81,
    OP_LOAD, 2, OP_LOAD, 1, OP_ADD, OP_STORE, 1, OP_RET,
    /* 81: */
    OP_LOAD, 1, OP_LOAD, 2, OP_NEG, OP_ADD, OP_LOAD, 2, OP_EQ, OP_LOAD, 1, OP_AND,
    OP_LOAD, 1, OP_ADD, OP_STORE, 1, OP_RET,
};

static unsigned run(const unsigned char* code, unsigned arg) {
  unsigned stack[64], locals[4] = {0, 0, 0, arg}, calls[16];
  int sp = 0, cp = 0;
  unsigned pc = 0;
  for (;;) {
    unsigned op = code[pc++];
    unsigned a, b;
    switch (op) {
      case OP_PUSH: stack[sp++] = code[pc++]; break;
      case OP_LOAD: stack[sp++] = locals[code[pc++] & 3]; break;
      case OP_STORE: locals[code[pc++] & 3] = stack[--sp]; break;
      case OP_ADD: b = stack[--sp]; stack[sp - 1] += b; break;
      case OP_SUB: b = stack[--sp]; stack[sp - 1] -= b; break;
      case OP_MUL: b = stack[--sp]; stack[sp - 1] *= b; break;
      case OP_AND: b = stack[--sp]; stack[sp - 1] &= b; break;
      case OP_XOR: b = stack[--sp]; stack[sp - 1] ^= b; break;
      case OP_SHL: b = stack[--sp]; stack[sp - 1] <<= (b & 31); break;
      case OP_SHR: b = stack[--sp]; stack[sp - 1] >>= (b & 31); break;
      case OP_DUP: stack[sp] = stack[sp - 1]; sp++; break;
      case OP_DROP: sp--; break;
      case OP_SWAP: a = stack[sp - 1]; stack[sp - 1] = stack[sp - 2]; stack[sp - 2] = a; break;
      case OP_JMP: pc = code[pc]; break;
      case OP_JZ: a = stack[--sp]; pc = a ? pc + 1 : code[pc]; break;
      case OP_JNZ: a = stack[--sp]; pc = a ? code[pc] : pc + 1; break;
      case OP_LT: b = stack[--sp]; stack[sp - 1] = (int)stack[sp - 1] < (int)b; break;
      case OP_EQ: b = stack[--sp]; stack[sp - 1] = stack[sp - 1] == b; break;
      case OP_INC: stack[sp - 1]++; break;
      case OP_DEC: stack[sp - 1]--; break;
      case OP_NEG: stack[sp - 1] = 0u - stack[sp - 1]; break;
      case OP_MOD: b = stack[--sp]; stack[sp - 1] = b ? stack[sp - 1] % b : 0; break;
      case OP_CALL: calls[cp++ & 15] = pc + 1; pc = code[pc]; break;
      case OP_RET: pc = calls[--cp & 15]; break;
      case OP_HALT: return stack[sp - 1] + locals[2];
      default: return 0xDEAD;
    }
    if (sp < 0 || sp > 60) return 0xBAD;
  }
}

unsigned prog_interp(unsigned n) {
  unsigned h = 0;
  for (unsigned r = 0; r < n; r++) h = h * 31 + run(program, 2000 + r);
  return h;
}
