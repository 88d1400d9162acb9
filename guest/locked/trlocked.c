/* Guest threads running in parallel on shared counters, bit words and
   spinlocks through the locked instructions gcc emits for the __sync and
   __atomic builtins (and, in inline assembly, the carry forms no builtin
   makes). Every total is exact only when each of those instructions is
   atomic (a lost update of a spinlock word can also leave every thread
   spinning for good). Ends through ExitProcess with 0x40 and one bit per
   failed check, 0x40 when all passed; 1 when a thread could not be
   started or waited for. */
#include <win32.h>

#define THREADS 4
#define ROUNDS 200000

enum {
  FAIL_XADD = 1,  /* LOCK XADD, 32 bits: the count and the values it returned */
  FAIL_ADD = 2,   /* LOCK ADD, INC or DEC with the result unused, 32, 16 and 8 bits */
  FAIL_SWAP = 4,  /* spinlocks taken with XCHG and LOCK CMPXCHG, an update loop with LOCK CMPXCHG */
  FAIL_SUB = 8,   /* LOCK SUB or DEC whose ZF says who released the last reference */
  FAIL_BITS = 16, /* LOCK BTS, BTR and BTC on one word shared by every thread */
  FAIL_CARRY = 32, /* LOCK ADC and SBB */
};
#define START_FAILED 1 /* a thread could not be started or waited for */

static volatile unsigned xadd_count, xadd_returned[THREADS];
static volatile unsigned add32;
static volatile unsigned short add16;
static volatile unsigned char add8;
static volatile int xchg_lock, cas_lock;
static unsigned xchg_guarded, cas_guarded; /* plain increments under the locks */
static volatile unsigned cas_sum;
static volatile unsigned refs = THREADS * ROUNDS, last_reference;
static volatile unsigned set_bits, flip_bits, bit_faults;
static volatile unsigned carried;
static volatile int ready[THREADS];

/* Spins while *word is nonzero, giving the processor away now and then so
   that a preempted holder gets to run. */
static void spin_while(volatile int* word) {
  for (unsigned n = 0; *word; n++)
    if ((n & 63) == 63) Sleep(0);
}

static void xchg_locked_increment(void) {
  while (__sync_lock_test_and_set(&xchg_lock, 1)) spin_while(&xchg_lock);
  xchg_guarded++;
  __sync_lock_release(&xchg_lock);
}

static void cas_locked_increment(void) {
  while (!__sync_bool_compare_and_swap(&cas_lock, 0, 1)) spin_while(&cas_lock);
  cas_guarded++;
  __sync_lock_release(&cas_lock);
}

static void bit_round(unsigned id, unsigned round) {
  /* Only this thread changes its own bit: a locked update by another
     thread that lost it shows here. */
  unsigned mine = 1u << id;
  if (__atomic_fetch_or(&set_bits, mine, __ATOMIC_SEQ_CST) & mine) bit_faults++;
  if (!(__atomic_fetch_and(&set_bits, ~mine, __ATOMIC_SEQ_CST) & mine)) bit_faults++;
  if (((__atomic_fetch_xor(&flip_bits, mine, __ATOMIC_SEQ_CST) & mine) != 0) != (round & 1)) bit_faults++;
}

static void carry_round(void) {
  /* +2 with the carry in, then -1 with the borrow in: +1 a round. */
  __asm__ volatile("stc\n\tlock adcl $1, %0" : "+m"(carried) : : "cc");
  __asm__ volatile("stc\n\tlock sbbl $0, %0" : "+m"(carried) : : "cc");
}

static DWORD WINAPI worker(void* parameter) {
  unsigned id = (unsigned)parameter;
  /* Start together, so that the rounds of all threads overlap. */
  ready[id] = 1;
  for (unsigned i = 0; i < THREADS; i++)
    while (!ready[i]) {
    }
  unsigned returned = 0;
  for (unsigned round = 0; round < ROUNDS; round++) {
    returned += __sync_fetch_and_add(&xadd_count, 1);
    __atomic_add_fetch(&add32, 1, __ATOMIC_SEQ_CST);
    __sync_fetch_and_add(&add16, 1);
    __sync_fetch_and_sub(&add8, 1);
    xchg_locked_increment();
    cas_locked_increment();
    unsigned old = cas_sum;
    while (!__atomic_compare_exchange_n(&cas_sum, &old, old + 3, 0, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
    }
    if (__atomic_sub_fetch(&refs, 1, __ATOMIC_SEQ_CST) == 0) last_reference++;
    bit_round(id, round);
    carry_round();
  }
  xadd_returned[id] = returned;
  return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  HANDLE threads[THREADS];
  for (unsigned i = 0; i < THREADS; i++) {
    threads[i] = CreateThread(0, 0, worker, (void*)i, 0, 0);
    if (!threads[i]) ExitProcess(START_FAILED);
  }
  /* Half through the wait for all, one through a wait for each. */
  if (WaitForMultipleObjects(THREADS / 2, threads, 1, INFINITE) != 0) ExitProcess(START_FAILED);
  for (unsigned i = THREADS / 2; i < THREADS; i++)
    if (WaitForSingleObject(threads[i], INFINITE) != 0) ExitProcess(START_FAILED);
  for (unsigned i = 0; i < THREADS; i++) CloseHandle(threads[i]);

  const unsigned total = THREADS * ROUNDS;
  unsigned failed = 0;
  /* XADD returned each of 0 .. total-1 once: their sum, modulo 2^32. */
  unsigned returned = 0;
  for (unsigned i = 0; i < THREADS; i++) returned += xadd_returned[i];
  if (xadd_count != total || returned != (unsigned)((unsigned long long)total * (total - 1) / 2)) failed |= FAIL_XADD;
  if (add32 != total || add16 != (unsigned short)total || add8 != (unsigned char)(0u - total)) failed |= FAIL_ADD;
  if (xchg_guarded != total || xchg_lock) failed |= FAIL_SWAP;
  if (cas_guarded != total || cas_lock || cas_sum != 3 * total) failed |= FAIL_SWAP;
  if (refs != 0 || last_reference != 1) failed |= FAIL_SUB;
  if (set_bits != 0 || flip_bits != 0 || bit_faults != 0) failed |= FAIL_BITS;
  if (carried != total) failed |= FAIL_CARRY;
  ExitProcess(0x40 | failed);
  return 1;
}
