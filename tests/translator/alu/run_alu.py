"""Random-sequence test of the translator's integer semantics.

Generates random register ALU sequences from a seed (TR_SEED, or a fresh
one), runs them natively on the host CPU, builds them into a guest
executable, translates it, builds the .em module and lets alu_check run it
through the runtime and compare registers and flags. Prints the seed and
the failing case on a mismatch."""
import argparse
import os
import random
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(__file__))
import gen_alu  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
GUEST_FLAGS = ["-O2", "-march=i686", "-mno-sse", "-mfpmath=387", "-ffreestanding", "-fno-stack-protector",
               "-fno-asynchronous-unwind-tables", "-fno-tree-loop-distribute-patterns"]


def run(cmd, **kw):
    r = subprocess.run(cmd, capture_output=True, text=True, **kw)
    if r.returncode != 0:
        sys.stderr.write("command failed: %s\n%s%s" % (" ".join(cmd), r.stdout, r.stderr))
        raise SystemExit(1)
    return r.stdout


def main():
    ap = argparse.ArgumentParser()
    for name in ("checker", "translator", "frame-lib", "device", "runner", "include"):
        ap.add_argument("--" + name, required=True)
    ap.add_argument("--cases", type=int, default=200)
    ap.add_argument("--length", type=int, default=40)
    a = ap.parse_args()
    seed = int(os.environ.get("TR_SEED") or random.SystemRandom().getrandbits(32))
    host_cases, states = gen_alu.generate(seed, a.cases, a.length)
    # Instructions 64-bit mode lacks: their reference is a 32-bit build,
    # run the way this machine runs 32-bit programs.
    legacy_cases = gen_alu.generate_legacy(seed, a.cases // 4, a.length)
    cases = host_cases + legacy_cases
    executed = len(cases) * len(states) * a.length
    work = tempfile.mkdtemp(prefix="tr-alu-")
    w = lambda name: os.path.join(work, name)
    for sub in ("host", "legacy"):
        os.makedirs(w(sub))
    with open(w("alu_cases.h"), "w") as f:
        f.write(gen_alu.c_tables(cases, states))
    with open(w("host/alu_cases.h"), "w") as f:
        f.write(gen_alu.c_tables(host_cases, states))
    with open(w("legacy/alu_cases.h"), "w") as f:
        f.write(gen_alu.c_tables(legacy_cases, states, len(host_cases)))
    with open(w("native.asm"), "w") as f:
        f.write(gen_alu.assembly(host_cases, 64))
    with open(w("legacy.asm"), "w") as f:
        f.write(gen_alu.assembly(legacy_cases, "elf32", len(host_cases)))
    with open(w("guest.asm"), "w") as f:
        f.write(gen_alu.assembly(cases, 32))
    masks = b"".join(((gen_alu.ALL & ~c.undefined) | 0).to_bytes(4, "little") for c in cases)
    with open(w("masks.bin"), "wb") as f:
        f.write(masks)
    driver = os.path.join(HERE, "alu_driver.c")

    # The host CPU's answers.
    run(["nasm", "-f", "elf64", w("native.asm"), "-o", w("native.o")])
    run(["gcc", "-O1", "-I", w("host"), driver, w("native.o"), "-o", w("native")])
    run([w("native"), w("native.bin")])
    run(["nasm", "-f", "elf32", w("legacy.asm"), "-o", w("legacy.o")])
    run(["gcc", "-m32", "-static", "-O1", "-I", w("legacy"), driver, w("legacy.o"), "-o", w("legacy32")])
    run([x for x in a.runner.split(";") if x] + [w("legacy32"), w("legacy.bin")])
    with open(w("expected.bin"), "wb") as out:
        for part in ("native.bin", "legacy.bin"):
            with open(w(part), "rb") as f:
                out.write(f.read())

    # The same sequences as a guest program, translated and built.
    run(["nasm", "-f", "win32", w("guest.asm"), "-o", w("guest.o")])
    run(["i686-w64-mingw32-gcc"] + GUEST_FLAGS + ["-I", work, "-c", driver, "-o", w("driver.o")])
    run(["i686-w64-mingw32-gcc", "-nostdlib", "-nostartfiles", "-Wl,--enable-reloc-section", "-Wl,-e,_WinMain@16",
         "-Wl,--image-base,0x400000", w("driver.o"), w("guest.o"), "-lgcc", "-o", w("alu.exe")])
    os.makedirs(w("gen"))
    files = 6
    run([a.translator, w("alu.exe"), "--out-dir", w("gen"), "--stem", "ALU", "--files", str(files)])
    sources = [w("gen/ALU_module.cpp"), w("gen/ALU_data.cpp")] + [w("gen/ALU_code%d.cpp" % i) for i in range(files)]
    sources.append(os.path.join(a.include.split(";")[-1], "xlat_runtime.cpp"))
    incs = [x for d in a.include.split(";") for x in ("-I", d)]

    def compile_one(src):
        obj = w(os.path.basename(src) + ".o")
        run(["g++", "-m32", "-std=c++20", "-O1", "-fPIC", "-fno-strict-aliasing", "-fvisibility=hidden", "-w"] + incs +
            ["-c", src, "-o", obj])
        return obj

    with ThreadPoolExecutor(2) as pool:
        objs = list(pool.map(compile_one, sources))
    module = w("ALU.em.dll")
    run(["g++", "-m32", "-shared", "-o", module] + objs +
        [a.frame_lib, "-L", a.device, "-l:Trevik.dll", "-lcoredll", "-Wl,-rpath," + a.device])

    env = dict(os.environ, DEVICE_ROOT=work)
    r = subprocess.run(a.runner.split(";") + [a.checker, module, w("expected.bin"), w("masks.bin")],
                       capture_output=True, text=True, env=env)
    sys.stdout.write(r.stdout)
    if r.returncode != 0:
        sys.stderr.write(r.stderr)
        print("random ALU test FAILED with seed %d (rerun with TR_SEED=%d); work folder %s" % (seed, seed, work))
        for line in r.stdout.splitlines():
            if line.startswith("case "):
                k = int(line.split()[1])
                print("case %d:\n  %s" % (k, "\n  ".join(cases[k].lines)))
                break
        return 1
    print("random ALU test passed: seed %d, %d cases x %d states x %d instructions = %d executed" %
          (seed, len(cases), len(states), a.length, executed))
    subprocess.run(["rm", "-rf", work])
    return 0


if __name__ == "__main__":
    sys.exit(main())
