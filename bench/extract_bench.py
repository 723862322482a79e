#!/usr/bin/env python3
"""Extraction benchmark: one package, extracted by the installer's ExtractPackage, Info-ZIP's
`unzip -P` and 7-Zip's `7z x`, in one run, onto the same disk. Reports each one's time, the
ratios, and peak memory (maximum resident set size).

    python3 bench/extract_bench.py [--mib 800] [--files 2400] [--runs 1] [--small-mib 10]

The package is a realistic mix, made once and kept in build/host/bench/: about 60 % of the bytes
compress (text), 40 % do not (random); Info-ZIP packs it with the package password and stores
what it cannot shrink. A second, small package of --small-mib shows whether ExtractPackage's
peak memory depends on the package's size."""

import argparse
import os
import random
import shutil
import subprocess
import sys
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
BUILD = os.path.join(REPO, "build", "host")
BENCH = os.path.join(BUILD, "bench")
PASSWORD = "q7Lm2xVr9TzK4"
WORDS = ("report template data field page print column 报表 模板 数据 打印 value total sum group "
         "header footer detail chart image font style border margin width height left right").split()


def make_tree(root, total_bytes, files, seed):
    rng = random.Random(seed)
    pool = " ".join(rng.choice(WORDS) + str(rng.randrange(1000)) for _ in range(600000)).encode()
    weights = [rng.lognormvariate(0, 1.2) for _ in range(files)]
    scale = total_bytes / sum(weights)
    for i, weight in enumerate(weights):
        size = max(1, int(weight * scale))
        folder = os.path.join(root, "T6", f"part{i % 40}", "资料" if i % 7 == 0 else "files")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"file{i}.{'bin' if i % 5 < 2 else 'txt'}"), "wb") as f:
            if i % 5 < 2:  # 40 %: already compressed or random
                f.write(os.urandom(size))
            else:
                left = size
                while left > 0:
                    start = rng.randrange(len(pool) - 65536)
                    piece = pool[start:start + min(left, 65536)]
                    f.write(piece)
                    left -= len(piece)


def package(mib, files):
    path = os.path.join(BENCH, f"extract-{mib}MiB-{files}.zip")
    if not os.path.exists(path):
        tree = path + ".tree"
        shutil.rmtree(tree, ignore_errors=True)
        print(f"making {path} ...", file=sys.stderr)
        make_tree(tree, mib * 1024 * 1024, files, mib)
        subprocess.run(["zip", "-q", "-r", "-P", PASSWORD, path + ".part", "T6"], cwd=tree, check=True)
        os.rename(path + ".part", path)
        shutil.rmtree(tree)
    return path


def run(command, out):
    """Wall time and peak memory (KiB) of one extraction into out. Memory comes from GNU time:
    the child's own maximum resident set, not the forking Python's."""
    shutil.rmtree(out, ignore_errors=True)
    subprocess.run(["sync"], check=True)
    start = time.monotonic()
    done = subprocess.run(["/usr/bin/time", "-f", "%M", *command], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    elapsed = time.monotonic() - start
    if done.returncode != 0:
        raise RuntimeError(f"{command[0]} failed: {done.stderr}")
    return elapsed, int(done.stderr.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mib", type=int, default=800)
    parser.add_argument("--files", type=int, default=2400)
    parser.add_argument("--small-mib", type=int, default=10)
    parser.add_argument("--runs", type=int, default=1)
    args = parser.parse_args()
    os.makedirs(BENCH, exist_ok=True)
    big = package(args.mib, args.files)
    work = os.path.join(BENCH, "extract-out")
    os.makedirs(work, exist_ok=True)
    out = os.path.join(work, "out")
    ours = [os.path.join(BENCH, "t6_extract_bench")]
    peers = {
        "ExtractPackage": lambda p: ours + [p, out],
        "unzip -P": lambda p: ["unzip", "-q", "-P", PASSWORD, p, "-d", out],
        "7z x": lambda p: ["7z", "x", f"-p{PASSWORD}", f"-o{out}", "-y", p],
    }
    size = os.path.getsize(big)
    print(f"package: {size / 2**20:.0f} MiB packed, {args.files} files, {args.mib} MiB unpacked")
    results = {name: [] for name in peers}
    for _ in range(args.runs):
        for name, command in peers.items():
            results[name].append(run(command(big), out))
    best = {name: min(t for t, _ in values) for name, values in results.items()}
    for name, values in results.items():
        print(f"{name:15s} {best[name]:7.2f} s   peak {max(m for _, m in values) / 1024:7.1f} MiB")
    print(f"ExtractPackage vs 7z x: {best['7z x'] / best['ExtractPackage']:.2f}x, "
          f"vs unzip -P: {best['unzip -P'] / best['ExtractPackage']:.2f}x (above 1: ExtractPackage is faster)")
    small = package(args.small_mib, max(10, args.files * args.small_mib // args.mib))
    _, small_peak = run(ours + [small, out], out)
    big_peak = max(m for _, m in results["ExtractPackage"])
    print(f"ExtractPackage peak memory: {small_peak / 1024:.1f} MiB for {args.small_mib} MiB, "
          f"{big_peak / 1024:.1f} MiB for {args.mib} MiB")
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
