#!/usr/bin/python3
"""Result lines and the Dask example, checked from outside the program.

    batch_tools_test.py jsonl VELLMARK_CLI MAKE_SAMPLES   each line read by Python's JSON reader
    batch_tools_test.py dask VELLMARK_CLI MAKE_SAMPLES    a scheduler and two workers as processes
                                                          of their own run the example, whose
                                                          output must be what analyse prints
"""
import datetime
import gzip
import json
import os
import subprocess
import sys
import tempfile
import time
import zipfile

SKIP = 77
EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "dask", "vellmark_dask.py")
KEYS = ["path", "size_bytes", "compressed_size_bytes", "mtime_ns", "switch", "start", "end", "start_iso", "end_iso",
        "records", "error", "error_kind", "error_offset", "warnings", "digests", "verified_records",
        "calls_per_hour", "options"]


def make_files(make_samples, root):
    """The samples (every family), a .gz, a zip and a name that is not UTF-8."""
    folder = os.path.join(root, "files")
    subprocess.run([make_samples, folder], check=True, stdout=subprocess.DEVNULL)
    cdot = open(os.path.join(folder, "KOL1140226.DAT"), "rb").read()
    with gzip.open(os.path.join(folder, "DEL0304.DAT.gz"), "wb") as f:
        f.write(cdot)
    with zipfile.ZipFile(os.path.join(folder, "day.zip"), "w") as z:
        z.writestr("KOL1/KOL1150226.DAT", cdot)
        z.writestr("readme.txt", "no calls")
    with open(os.path.join(os.fsencode(folder), b"odd\xff.DAT"), "wb") as f:
        f.write(cdot)
    return sorted(os.path.join(folder, name) for name in os.listdir(folder))


def cli_output(argv):
    run = subprocess.run(argv, stdout=subprocess.PIPE)
    assert run.returncode in (0, 1), (argv, run.returncode)
    return run.stdout


def check_lines(cli, paths):
    out = cli_output([cli, "analyse", "--year", "2026", "--format", "jsonl"] + paths)
    names = set()
    for raw in out.splitlines():
        line = json.loads(raw)  # each line on its own
        assert list(line) == KEYS, list(line)
        assert type(line["records"]) is int and type(line["size_bytes"]) is int and type(line["mtime_ns"]) is int
        for iso, text in (("start_iso", "start"), ("end_iso", "end")):
            if line[iso] is not None:
                assert datetime.datetime.fromisoformat(line[iso]).strftime("%Y-%m-%d   %H:%M:%S") == line[text]
        assert line["records"] == 0 or line["start_iso"] or any(w["kind"] == "bad_time" for w in line["warnings"])
        names.add(os.fsencode(line["path"]))
    expected = {os.fsencode(p) for p in paths if not p.endswith(".zip")}
    assert expected <= names and os.fsencode(paths[0]) in names, names ^ expected
    assert any(b"odd\xff.DAT" in n for n in names) and any(b"day.zip#KOL1/" in n for n in names)


def start(argv, log):
    return subprocess.Popen([sys.executable, "-m"] + argv, stdout=log, stderr=subprocess.STDOUT)


def check_dask(cli, paths, root):
    try:
        from distributed import Client
    except ImportError:
        print("skipped: %s cannot import distributed (Debian's python3-distributed)" % sys.executable)
        return SKIP
    address = os.path.join(root, "scheduler.json")
    log = open(os.path.join(root, "dask.log"), "wb")
    common = ["--no-dashboard", "--scheduler-file", address]
    processes = [start(["distributed.cli.dask_scheduler", "--host", "127.0.0.1", "--port", "0"] + common, log)]
    try:
        deadline = time.monotonic() + 30
        while not os.path.exists(address) and time.monotonic() < deadline:
            time.sleep(0.1)
        for _ in range(2):
            processes.append(start(["distributed.cli.dask_worker", "--nthreads", "1", "--no-nanny",
                                    "--local-directory", root] + common, log))
        with Client(scheduler_file=address, timeout=30) as client:
            client.wait_for_workers(2, timeout=30)
        report, book = os.path.join(root, "dask.vmr"), os.path.join(root, "dask.xlsx")
        run = subprocess.run([sys.executable, EXAMPLE, "--scheduler-file", address, "--chunk", "4", "--cli", cli,
                              "--year", "2026", "--format", "json", "-o", report, "--xlsx", book] + paths,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        whole = cli_output([cli, "analyse", "--year", "2026", "--format", "json", "-o", report + ".whole"] + paths)
        assert run.stdout == whole, run.stderr.decode(errors="replace")
        assert b"on 2 workers" in run.stderr, run.stderr
        # The same report but for the time in its title.
        assert open(report, "rb").read().split(b"\r\n")[1:] == open(report + ".whole", "rb").read().split(b"\r\n")[1:]
        assert os.path.getsize(book) > 1000
    finally:
        for p in processes:
            p.terminate()
        for p in processes:
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
    return 0


def main():
    mode, cli, make_samples = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as root:
        paths = make_files(make_samples, root)
        if mode == "jsonl":
            check_lines(cli, paths)
            return 0
        return check_dask(cli, paths, root)


if __name__ == "__main__":
    sys.exit(main())
