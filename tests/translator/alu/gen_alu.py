"""Random sequences of register ALU instructions, written as one assembly
source per mode (the native x86_64 harness and the 32-bit guest) plus the
flags each case leaves undefined. Shared by run_alu.py."""
import random

CF, PF, AF, ZF, SF, OF = 0x1, 0x4, 0x10, 0x40, 0x80, 0x800
ALL = CF | PF | AF | ZF | SF | OF
LAHF_READS = CF | PF | AF | ZF | SF
REGS = {32: ["eax", "ebx", "ecx", "edx", "esi", "edi", "ebp"],
        16: ["ax", "bx", "cx", "dx", "si", "di", "bp"],
        8: ["al", "bl", "cl", "dl", "ah", "bh", "ch", "dh"]}
CC_READS = {"o": OF, "no": OF, "b": CF, "ae": CF, "e": ZF, "ne": ZF, "be": CF | ZF, "a": CF | ZF,
            "s": SF, "ns": SF, "p": PF, "np": PF, "l": SF | OF, "ge": SF | OF, "le": ZF | SF | OF,
            "g": ZF | SF | OF}


class Case:
    def __init__(self, rng):
        self.rng = rng
        self.lines = []
        self.undefined = 0

    def reg(self, w):
        return self.rng.choice(REGS[w])

    def imm(self, w):
        r = self.rng.random()
        if r < 0.2:
            return self.rng.choice([0, 1, (1 << (w - 1)) - 1, 1 << (w - 1), (1 << w) - 1])
        return self.rng.getrandbits(w)

    def emit(self, text, reads=0, sets=0, undefines=0):
        """Adds an instruction unless it reads a flag left undefined."""
        if reads & self.undefined:
            return False
        self.lines.append(text)
        self.undefined = (self.undefined & ~sets) | undefines
        return True

    def one(self):
        rng, w = self.rng, self.rng.choice([8, 16, 32, 32])
        kind = rng.randrange(20)
        d, s = self.reg(w), self.reg(w)
        if kind <= 2:
            op = rng.choice(["add", "sub", "and", "or", "xor", "cmp", "test"])
            src = s if rng.random() < 0.6 else hex(self.imm(w))
            if op == "test" and not src.startswith("0x") and rng.random() < 0.5:
                src = s
            logic = op in ("and", "or", "xor", "test")
            return self.emit(f"{op} {d}, {src}", sets=ALL, undefines=AF if logic else 0)
        if kind == 3:
            op = rng.choice(["adc", "sbb"])
            src = s if rng.random() < 0.6 else hex(self.imm(w))
            return self.emit(f"{op} {d}, {src}", reads=CF, sets=ALL)
        if kind == 4:
            op = rng.choice(["inc", "dec", "neg", "not"])
            sets = {"inc": ALL & ~CF, "dec": ALL & ~CF, "neg": ALL, "not": 0}[op]
            return self.emit(f"{op} {d}", sets=sets)
        if kind in (5, 6):
            op = rng.choice(["shl", "shr", "sar", "rol", "ror", "rcl", "rcr"])
            count = rng.choice([1, 1, rng.randrange(32), rng.randrange(w + 2)])
            if rng.random() < 0.4:
                if d in ("cl", "cx", "ecx", "ch"):
                    return False
                self.lines.append(f"mov cl, {count}")
                src = "cl"
            else:
                src = str(count)
            c = count & 31
            if c == 0:
                return self.emit(f"{op} {d}, {src}", reads=CF if op in ("rcl", "rcr") else 0)
            if op in ("shl", "shr", "sar"):
                undef = AF | (OF if c != 1 else 0) | (CF if c >= w else 0)
                return self.emit(f"{op} {d}, {src}", sets=ALL, undefines=undef)
            reads = CF if op in ("rcl", "rcr") else 0
            return self.emit(f"{op} {d}, {src}", reads=reads, sets=CF | OF, undefines=OF if c != 1 else 0)
        if kind == 7 and w != 8:
            op = rng.choice(["shld", "shrd"])
            count = rng.randrange(1, 16) if w == 16 else rng.randrange(32)
            if count == 0:
                return self.emit(f"{op} {d}, {s}, 0")
            return self.emit(f"{op} {d}, {s}, {count}", sets=ALL, undefines=AF | (OF if count != 1 else 0))
        if kind == 8:
            if w == 8 or rng.random() < 0.3:
                src = self.reg(w)
                sub = rng.choice(["mul", "imul"])
                if w == 8:
                    return self.emit(f"{sub} {src}", sets=CF | OF, undefines=SF | ZF | PF | AF)
                return self.emit(f"{sub} {src}", sets=CF | OF, undefines=SF | ZF | PF | AF)
            if rng.random() < 0.5:
                return self.emit(f"imul {d}, {s}", sets=CF | OF, undefines=SF | ZF | PF | AF)
            return self.emit(f"imul {d}, {s}, {hex(self.imm(w))}", sets=CF | OF, undefines=SF | ZF | PF | AF)
        if kind == 9 and w != 8:
            op = rng.choice(["bt", "bts", "btr", "btc"])
            src = s if rng.random() < 0.5 else str(rng.randrange(w))
            return self.emit(f"{op} {d}, {src}", sets=CF, undefines=OF | SF | PF | AF)
        if kind == 10 and w != 8:
            op = rng.choice(["bsf", "bsr"])
            # REP BSF/BSR (TZCNT/LZCNT on BMI processors) only in the guest:
            # the guest's processor runs them as BSF/BSR.
            rep = "rep:" if rng.random() < 0.5 else ""
            return self.emit(f"{rep}{op} {d}, {s}", sets=ZF, undefines=CF | OF | SF | PF | AF)
        if kind == 11:
            cc = rng.choice(list(CC_READS))
            if w == 8 or rng.random() < 0.3:
                return self.emit(f"set{cc} {self.reg(8)}", reads=CC_READS[cc])
            return self.emit(f"cmov{cc} {d}, {s}", reads=CC_READS[cc])
        if kind == 12:
            op = rng.choice(["movzx", "movsx"])
            if w == 8:
                return self.emit(f"{op} {self.reg(rng.choice([16, 32]))}, {s}")
            if w == 16:
                return self.emit(f"{op} {self.reg(32)}, {self.reg(8)}")
            return self.emit(f"{op} {d}, {self.reg(16)}")
        if kind == 13:
            op = rng.choice(["xchg", "xadd", "cmpxchg", "mov"])
            if op == "xchg" or op == "mov":
                return self.emit(f"{op} {d}, {s}")
            if op == "cmpxchg" and w != 8 and rng.random() < 0.3:
                # equal accumulator: the exchange takes place
                return self.emit(f"cmpxchg {d}, {s}", sets=ALL)
            return self.emit(f"{op} {d}, {s}", sets=ALL)
        if kind == 14:
            op = rng.choice(["cbw", "cwde", "cwd", "cdq", "bswap", "lea", "lea16"])
            if op == "bswap":
                return self.emit(f"bswap {self.reg(32)}")
            if op in ("lea", "lea16"):
                base, index = self.reg(32), self.reg(32)
                scale = rng.choice([1, 2, 4, 8])
                disp = rng.randrange(-0x10000, 0x10000)
                dst = self.reg(16 if op == "lea16" else 32)
                return self.emit(f"lea {dst}, [{base} + {index}*{scale} + {disp}]")
            return self.emit(op)
        if kind == 15:
            op = rng.choice(["clc", "stc", "cmc", "sahf", "lahf"])
            if op == "sahf":
                return self.emit("sahf", sets=CF | PF | AF | ZF | SF)
            if op == "lahf":
                return self.emit("lahf", reads=LAHF_READS)
            return self.emit(op, reads=CF if op == "cmc" else 0, sets=CF)
        if kind == 16:
            return self.emit(f"mov {d}, {hex(self.imm(w))}")
        if kind == 19:
            return self.divide(w)
        n = len(self.lines)
        if kind == 17:
            # A block boundary the flags cross.
            return self.emit(f"jmp .b{n}\n.b{n}:")
        if kind == 18:
            # Flags set by a callee and read after its return, as
            # hand-written helpers answer in CF or ZF. AF is not kept
            # through a return that leaves the chunk (the guest state
            # carries six flags).
            op = rng.choice(["add", "sub", "and", "xor", "cmp", "stc", "clc"])
            if op in ("stc", "clc"):
                return self.emit(f"call .s{n}\njmp .e{n}\n.s{n}:\n{op}\nret\n.e{n}:", sets=CF, undefines=AF)
            src = s if rng.random() < 0.6 else hex(self.imm(w))
            body = f"{op} {d}, {src}"
            if rng.random() < 0.5:
                # The flags reach the RET through a branch edge as well.
                body += f"\nj{rng.choice(list(CC_READS))} .r{n}\nnop\n.r{n}:"
            return self.emit(f"call .s{n}\njmp .e{n}\n.s{n}:\n{body}\nret\n.e{n}:", sets=ALL, undefines=AF)
        return False

    def divide(self, w):
        """DIV or IDIV on operands whose quotient fits (a divide error would
        end the case): the divisor and the high half are set first."""
        rng, mask = self.rng, (1 << w) - 1
        lo, hi = {32: ("eax", "edx"), 16: ("ax", "dx"), 8: ("al", "ah")}[w]
        r = rng.choice([x for x in REGS[w] if x not in (lo, hi, "ax", "eax", "dx", "edx")])
        if rng.random() < 0.5:
            d = rng.randrange(1, 1 << w) if rng.random() < 0.7 else rng.choice([1, mask, 1 << (w - 1)])
            self.lines += [f"mov {r}, {hex(d)}", f"mov {hi}, {hex(rng.randrange(d))}"]
            return self.emit(f"div {r}", undefines=ALL)
        half = 1 << (w - 1)
        d = rng.randrange(1, 1 << w) - half or 1 if rng.random() < 0.8 else rng.choice([-1, 1, -half, half - 1])
        q = rng.choice([-half, half - 1, 0]) if rng.random() < 0.2 else rng.randrange(-half, half)
        n = q * d
        rem = rng.randrange(abs(d))
        if n > 0 or (n == 0 and rng.random() < 0.5):
            n += rem
        else:
            n -= rem
        if abs(n) // abs(d) != abs(q) or abs(n) >= 1 << (2 * w - 1) or n == -(1 << (2 * w - 1)):
            return False
        n &= (1 << 2 * w) - 1
        self.lines += [f"mov {lo}, {hex(n & mask)}", f"mov {hi}, {hex(n >> w)}", f"mov {r}, {hex(d & mask)}"]
        return self.emit(f"idiv {r}", undefines=ALL)


def generate(seed, cases, length):
    rng = random.Random(seed)
    out = []
    for _ in range(cases):
        c = Case(rng)
        while len(c.lines) < length:
            c.one()
        out.append(c)
    edges = [0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFF, 0x80, 0x7F, 0xFFFF, 0x8000, 0xFFFFFF80, 0x00FF00FF]

    def word():
        return rng.choice(edges) if rng.random() < 0.3 else rng.getrandbits(32)
    states = [[word() for _ in range(7)] + [rng.choice([0, ALL]) ^ (rng.getrandbits(12) & ALL)]
              for _ in range(16)]
    return out, states


class LegacyCase(Case):
    """Byte arithmetic feeding the decimal adjusts, SALC, LAHF, the 16-bit
    flag and all-register pushes and 16-bit LEA: instructions that only
    exist outside 64-bit mode, so their reference is a 32-bit build."""

    def one(self):
        rng = self.rng
        kind = rng.randrange(9)
        if kind == 0:
            # A packed decimal operand makes the adjusts meaningful.
            return self.emit(f"mov al, {hex(rng.randrange(10) << 4 | rng.randrange(10))}")
        if kind in (1, 2):
            op = rng.choice(["add", "sub", "adc", "sbb", "cmp"])
            src = rng.choice(REGS[8]) if rng.random() < 0.3 else hex(rng.randrange(10) << 4 | rng.randrange(10))
            return self.emit(f"{op} al, {src}", reads=CF if op in ("adc", "sbb") else 0, sets=ALL)
        if kind == 3:
            op = rng.choice(["inc", "dec", "neg"])
            return self.emit(f"{op} al", sets=ALL if op == "neg" else ALL & ~CF)
        if kind == 4:
            op = rng.choice(["daa", "das", "aaa", "aas"])
            if op in ("daa", "das"):
                return self.emit(op, reads=CF | AF, sets=ALL, undefines=OF)
            return self.emit(op, reads=AF, sets=ALL, undefines=OF | SF | ZF | PF)
        if kind == 5:
            op = rng.choice(["salc", "lahf"])
            return self.emit(op, reads=CF if op == "salc" else LAHF_READS)
        if kind == 6:
            if rng.random() < 0.5:
                return self.emit(f"pushfw\npop {self.reg(16)}", reads=ALL)
            # Never TF or DF: the case returns to C code.
            return self.emit(f"mov si, {hex(rng.getrandbits(16) & 0x08D5)}\npush si\npopfw", sets=ALL)
        if kind == 7:
            if rng.random() < 0.5:
                return self.emit("pushaw\npopaw")
            # The fourth word is SP, which differs between the two runs.
            pops = [rng.choice(["ax", "bx", "cx", "dx", "si", "di", "bp"]) for _ in range(8)]
            pops[3] = None
            return self.emit("pushaw\n" + "\n".join(f"pop {r}" if r else "lea esp, [esp + 2]" for r in pops))
        base, index = rng.choice(["bx", "bp", None]), rng.choice(["si", "di", None])
        parts = [r for r in (base, index) if r] + [str(rng.randrange(-0x8000, 0x10000))]
        return self.emit(f"lea {self.reg(rng.choice([16, 32]))}, [{' + '.join(parts)}]")


def generate_legacy(seed, cases, length):
    rng = random.Random(seed ^ 0x5A5A5A5A)
    out = []
    for _ in range(cases):
        c = LegacyCase(rng)
        while len(c.lines) < length:
            c.one()
        out.append(c)
    return out


def assembly(cases, mode, first=0):
    """The case functions (numbered from `first`); each loads g_in, runs its
    body and stores g_out. Modes: 64 (host), 32 (the guest, win32 names),
    "elf32" (the 32-bit reference)."""
    wide = mode == 64
    guest = mode == 32
    p = "_" if guest else ""
    lines = ["bits 64", "default rel"] if wide else ["bits 32"]
    lines += ["section .data", f"global {p}g_in", f"global {p}g_out"]
    lines += [f"{p}g_in: times 10 dd 0", f"{p}g_out: times 10 dd 0", "section .text"]
    saved = ["rbx", "rsi", "rdi", "rbp"] if wide else ["ebx", "esi", "edi", "ebp"]
    names = []
    for k, c in enumerate(cases, first):
        name = f"{p}alu_case_{k}"
        names.append(name)
        lines.append(f"global {name}")
        lines.append(f"{name}:")
        lines += [f"push {r}" for r in saved]
        lines += [f"push qword [{p}g_in + 28]", "popfq"] if wide else [f"push dword [{p}g_in + 28]", "popfd"]
        for i, r in enumerate(["eax", "ebx", "ecx", "edx", "esi", "edi", "ebp"]):
            lines.append(f"mov {r}, [{p}g_in + {4 * i}]")
        for line in c.lines:
            if line.startswith("rep:"):
                line = ("db 0xF3\n" if guest else "") + line[4:]
            lines.append(line)
        for i, r in enumerate(["eax", "ebx", "ecx", "edx", "esi", "edi", "ebp"]):
            lines.append(f"mov [{p}g_out + {4 * i}], {r}")
        lines += ["pushfq", f"pop qword [{p}g_out + 28]"] if wide else ["pushfd", f"pop dword [{p}g_out + 28]"]
        lines += [f"pop {r}" for r in reversed(saved)]
        lines.append("ret")
    return "\n".join(lines) + "\n"


def c_tables(cases, states, first=0):
    """Declarations of the cases and the start states for the C driver."""
    numbers = range(first, first + len(cases))
    out = ["#define ALU_CASES %d" % len(cases), "#define ALU_STATES %d" % len(states)]
    out += ["void alu_case_%d(void);" % k for k in numbers]
    out.append("static void (*const alu_cases[])(void) = {" + ", ".join("alu_case_%d" % k for k in numbers) + "};")
    out.append("static const unsigned alu_states[][8] = {")
    out += ["  {" + ", ".join(hex(v) + "u" for v in s) + "}," for s in states]
    out.append("};")
    return "\n".join(out) + "\n"
