#!/usr/bin/python3
"""Analyse a long list of CDR files on a Dask cluster and merge the results.

The list (paths, a glob, or a file of names) is cut into chunks in order; each chunk runs
`vellmark-cli analyse --format jsonl --files-from - -0` on one of the cluster's workers
(the files must be on storage every worker reaches, under the same names); the result
lines come back in chunk order and `vellmark-cli merge` turns them into the report and the
workbook, exactly as `vellmark-cli analyse` on the whole list would print them.

    vellmark_dask.py --scheduler tcp://host:8786 --glob '/data/cdr/**/*.DAT' -o day.vmr --xlsx day.xlsx
    vellmark_dask.py --local 4 --files-from names.txt --format json > day.json
"""
import argparse
import glob
import os
import subprocess
import sys


def analyse_chunk(cli, options, names):
    """On a worker: the result lines of one chunk (bytes), and what analyse said on stderr."""
    run = subprocess.run([cli, "analyse", "--format", "jsonl", "--files-from", "-", "-0"] + options,
                         input=b"".join(os.fsencode(n) + b"\0" for n in names), capture_output=True)
    # 1 only says that some file failed or was skipped; the lines are still good.
    if run.returncode not in (0, 1):
        raise RuntimeError("vellmark-cli analyse ended with %d: %s" % (run.returncode, run.stderr.decode(errors="replace")))
    return run.stdout, run.stderr


def read_names(args):
    names = list(args.paths)
    for pattern in args.glob:  # expanded here: this machine sees the files too
        names += sorted(p for p in glob.glob(pattern, recursive=True) if not os.path.isdir(p))
    if args.files_from:
        data = sys.stdin.buffer.read() if args.files_from == "-" else open(args.files_from, "rb").read()
        names += [os.fsdecode(n) for n in data.split(b"\0" if args.null else b"\n") if n]
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--scheduler", help="address of a running scheduler (tcp://host:8786)")
    where.add_argument("--scheduler-file", help="the file `dask scheduler --scheduler-file` wrote")
    where.add_argument("--local", type=int, metavar="N", help="a cluster of N worker processes on this machine")
    parser.add_argument("--chunk", type=int, default=1000, help="files per task (default 1000)")
    parser.add_argument("--cli", default="vellmark-cli", help="vellmark-cli as the workers find it")
    parser.add_argument("--glob", action="append", default=[], help="a pattern of paths (** for any folders)")
    parser.add_argument("--files-from", help="a file of names, one a line (- for standard input)")
    parser.add_argument("-0", dest="null", action="store_true", help="the names end with NUL bytes")
    for flag in ("--year", "--jobs", "--unpack-limit", "--unpack-ratio"):
        parser.add_argument(flag, help="passed to analyse")
    for flag in ("--verify", "--sha256"):
        parser.add_argument(flag, action="store_true", help="passed to analyse")
    parser.add_argument("--format", default="table", help="passed to merge: table, json, csv, vmr or jsonl")
    parser.add_argument("-o", dest="report", help="passed to merge: the text report to save")
    parser.add_argument("--xlsx", help="passed to merge: the workbook to write")
    parser.add_argument("--force", action="store_true", help="passed to merge: replace existing files")
    parser.add_argument("paths", nargs="*")
    args = parser.parse_args()

    names = read_names(args)
    options = []
    for flag in ("year", "jobs", "unpack_limit", "unpack_ratio"):
        if getattr(args, flag) is not None:
            options += ["--" + flag.replace("_", "-"), getattr(args, flag)]
    options += ["--" + flag for flag in ("verify", "sha256") if getattr(args, flag)]
    chunks = [names[i:i + args.chunk] for i in range(0, len(names), args.chunk)]

    from distributed import Client, LocalCluster
    cluster = LocalCluster(n_workers=args.local, threads_per_worker=1, dashboard_address=None) if args.local else None
    with Client(cluster or args.scheduler, scheduler_file=args.scheduler_file) as client:
        futures = client.map(analyse_chunk, [args.cli] * len(chunks), [options] * len(chunks), chunks, pure=False)
        results = client.gather(futures)
        workers = {w for who in client.who_has(futures).values() for w in who}
    if cluster:
        cluster.close()
    for _, err in results:
        sys.stderr.buffer.write(err)
    print("vellmark_dask: %d files in %d chunks on %d workers" % (len(names), len(chunks), len(workers)), file=sys.stderr)

    merge = [args.cli, "merge", "--format", args.format]
    merge += ["-o", args.report] if args.report else []
    merge += ["--xlsx", args.xlsx] if args.xlsx else []
    merge += ["--force"] if args.force else []
    merged = subprocess.run(merge + ["-"], input=b"".join(lines for lines, _ in results))
    return merged.returncode


if __name__ == "__main__":
    sys.exit(main())
