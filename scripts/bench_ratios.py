#!/usr/bin/env python3
"""Prints and judges benchmark ratios from Google Benchmark JSON files (median aggregates).

Every benchmark goal of the project is written here and nowhere else; a figure
that did not run fails the check like a missed goal."""
import json
import os
import re
import sys

# label, program, ours, baseline, kind, goal[, condition]
#   speed: baseline_time / our_time, must be >= goal (throughput ratio)
#   time:  our_time / baseline_time, must be <= goal
#   condition: (context key, value) the program must report in its JSON
#   context for the row to apply; a build without it shows the row as not
#   built instead of failing it. A program that reports no such key at all
#   fails the row, as a missing figure does.
FAST_ENGINE = ("deflate_engine", "fast")
# Single-threaded figures compare CPU time, which a busy machine disturbs less;
# those with worker threads or I/O compare wall-clock time (REAL below).
REAL = {"bench_app_viewer", "bench_sfds_selective"}
RATIOS = [
    ("zlib read: decompressor / plain ISA-L inflate", "bench_codecs", "BM_ZLibRead_Plugin", "BM_ZLibRead_PlainISAL", "speed", 0.95,
     FAST_ENGINE),
    ("zlib read: decompressor, zlib engine / plain inflate", "bench_codecs", "BM_ZLibRead_PluginZLib", "BM_ZLibRead_Plain", "speed", 0.95),
    # The fast engine's gain over zlib: shown, not judged.
    ("zlib read: decompressor / plain zlib inflate", "bench_codecs", "BM_ZLibRead_Plugin", "BM_ZLibRead_Plain", "speed", None),
    # The Windows build's inflater: zlib's rules walk the entry before libdeflate decodes it, about as long as the
    # decoding itself, and the result is handed out piece by piece.
    ("zlib read: decompressor, whole entries / plain libdeflate inflate", "bench_codecs", "BM_ZLibRead_PluginWhole",
     "BM_ZLibRead_PlainLibdeflate", "speed", 0.33, FAST_ENGINE),
    ("zlib read: decompressor, whole entries / plain zlib inflate", "bench_codecs", "BM_ZLibRead_PluginWhole",
     "BM_ZLibRead_Plain", "speed", None),
    ("bzip2 read: decompressor / plain BZ2_bzDecompress", "bench_codecs", "BM_BZip2Read_Plugin", "BM_BZip2Read_Plain", "speed", 0.97),
    ("MD5OfStream / OpenSSL MD5", "bench_sfds_md5", "BM_MD5OfStream", "BM_OpenSSL_MD5", "speed", 0.85),
    ("zlib write: compressor / plain libdeflate", "bench_codecs", "BM_ZLibWrite_Plugin", "BM_ZLibWrite_PlainLibdeflate", "speed", 0.95,
     FAST_ENGINE),
    ("zlib write: compressor, zlib engine / plain deflate", "bench_codecs", "BM_ZLibWrite_PluginZLib", "BM_ZLibWrite_Plain", "speed", 0.95),
    ("zlib write: compressor / plain zlib deflate", "bench_codecs", "BM_ZLibWrite_Plugin", "BM_ZLibWrite_Plain", "speed", None),
    ("bzip2 write: compressor / plain compress", "bench_codecs", "BM_BZip2Write_Plugin", "BM_BZip2Write_Plain", "speed", 0.95),
    # The raw window alone, without the reader around it: shown, not judged (the goal is on the row below).
    ("64 MiB window read / read(2)", "bench_sfds_selective", "BM_SelectiveStreamRead", "BM_PlainRead", "speed", None),
    ("64 MiB stored entry via OpenStream / read(2)", "bench_sfds_reader", "BM_ReadStoredEntry", "BM_ReadStoredEntryRead2", "speed", 0.90),
    ("open 100k entries: unique names / plain", "bench_sfds_reader",
     "BM_OpenContainer/entries:100000/unique:1/samename:0/close:0",
     "BM_OpenContainer/entries:100000/unique:0/samename:0/close:0", "time", 1.5),
    ("open entries: 100k / 10k", "bench_sfds_reader",
     "BM_OpenContainer/entries:100000/unique:0/samename:0/close:0",
     "BM_OpenContainer/entries:10000/unique:0/samename:0/close:0", "time", 12.0),
    ("open entries, unique names: 100k / 10k", "bench_sfds_reader",
     "BM_OpenContainer/entries:100000/unique:1/samename:0/close:0",
     "BM_OpenContainer/entries:10000/unique:1/samename:0/close:0", "time", 12.0),
    ("open entries, unique names, one shared name: 100k / 10k", "bench_sfds_reader",
     "BM_OpenContainer/entries:100000/unique:1/samename:1/close:0",
     "BM_OpenContainer/entries:10000/unique:1/samename:1/close:0", "time", 12.0),
    ("open and free entries: 100k / 10k", "bench_sfds_reader",
     "BM_OpenContainer/entries:100000/unique:0/samename:0/close:1",
     "BM_OpenContainer/entries:10000/unique:0/samename:0/close:1", "time", 12.0),
    ("OpenStream by bare name, stored: 64 MiB entry / 1 KiB entry", "bench_sfds_reader",
     "BM_OpenStreamBareName/bytes:67108864/format:0", "BM_OpenStreamBareName/bytes:1024/format:0", "time", 1.5),
    ("OpenStream by bare name: 64 MiB entry / 1 KiB entry", "bench_sfds_reader",
     "BM_OpenStreamBareName/bytes:67108864/format:1", "BM_OpenStreamBareName/bytes:1024/format:1", "time", 2.0),
    ("viewer '>' to scaled picture (format 0) / libjpeg from memory", "bench_app_viewer",
     "BM_ViewerNext/0", "BM_LibjpegFromMemory", "time", 1.15),
    ("viewer '>' to scaled picture (format 1) / libjpeg from memory", "bench_app_viewer",
     "BM_ViewerNext/1", "BM_LibjpegFromMemory", "time", 1.15),
    # The fast engine's gain on '>' for a format-1 picture: shown, not judged.
    ("viewer '>' format 1: fast engine's speed over zlib's", "bench_app_viewer",
     "BM_ViewerNext/1", "BM_ViewerNextZLibEngine/1", "speed", None, FAST_ENGINE),
]

# Absolute figures worth showing: program, benchmark, unit label
FIGURES = [
    ("bench_sfds_reader", "BM_OpenStreamBareName/bytes:1024/format:0", "open stored entry by bare name, 16 readers"),
    ("bench_sfds_reader", "BM_OpenStreamBareName/bytes:1024/format:1", "open zlib entry by bare name, 16 readers"),
    ("bench_sfds_fileentrys", "BM_FindEntry/1000", "FindEntry on 1k entries"),
    ("bench_sfds_fileentrys", "BM_FindEntry/100000", "FindEntry on 100k entries"),
    ("bench_app_viewer", "BM_ViewerNextPrefetched/0", "shown-after-'>' with prefetch (format 0)"),
    ("bench_app_viewer", "BM_ViewerNextPrefetched/1", "shown-after-'>' with prefetch (format 1)"),
]


def load(folder):
    """Median times by (program, benchmark) and each program's JSON context."""
    times, contexts = {}, {}
    for fn in os.listdir(folder):
        if not fn.endswith(".json"):
            continue
        prog = fn[:-5]
        with open(os.path.join(folder, fn)) as f:
            try:
                data = json.load(f)
            except json.JSONDecodeError:
                continue
        contexts[prog] = data.get("context", {})
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
                continue
            # Drop the settings Google Benchmark appends to a name (min_time, iterations...).
            name = re.sub(r"/(min_time|min_warmup_time|iterations|repeats|real_time|process_time|manual_time)(:[^/]*)?",
                          "", b.get("run_name", b["name"]))
            unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
            clock = "real_time" if prog in REAL or name.startswith("BM_ReadStored") else "cpu_time"
            times[(prog, name)] = b[clock] * unit
    return times, contexts


def main():
    times, contexts = load(sys.argv[1])
    failed = 0
    print()
    print(f"{'figure':64} {'ratio':>8} {'goal':>10}")
    for label, prog, ours, base, kind, goal, *condition in RATIOS:
        if condition:
            key, wanted = condition[0]
            have = contexts.get(prog, {}).get(key)
            if have is None:
                print(f"{label:64} {'MISSING':>8} {'':>10} FAILED ({prog} reports no {key})")
                failed += 1
                continue
            if have != wanted:
                print(f"{label:64} {'-':>8} {'':>10} not built ({key}: {have})")
                continue
        a, b = times.get((prog, ours)), times.get((prog, base))
        if a is None or b is None:
            # A benchmark that did not run (or was renamed) must not pass unseen.
            missing = ", ".join(n for n, t in ((ours, a), (base, b)) if t is None)
            print(f"{label:64} {'MISSING':>8} {'':>10} FAILED ({prog}: {missing})")
            failed += 1
            continue
        ratio = b / a if kind == "speed" else a / b
        if goal is None:
            print(f"{label:64} {ratio:8.3f} {'guard':>10} (regression guard: shown, not judged)")
            continue
        ok = ratio >= goal if kind == "speed" else ratio <= goal
        failed += not ok
        goal_text = (">= " if kind == "speed" else "<= ") + f"{goal:g}"
        print(f"{label:64} {ratio:8.3f} {goal_text:>10} {'ok' if ok else 'MISSED'}")
    print()
    print("regression guards (absolute figures, shown, not judged):")
    for prog, name, label in FIGURES:
        t = times.get((prog, name))
        if t is None:
            print(f"{label:64} {'MISSING':>10} FAILED ({prog}: {name})")
            failed += 1
        else:
            print(f"{label:64} {t * 1e6:10.2f} us")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
