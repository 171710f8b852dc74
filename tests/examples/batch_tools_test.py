#!/usr/bin/python3
"""The Dask example on a scheduler and two workers started as processes of their own: its
output must be what analyse prints for the whole list. Skipped (77) when python3 cannot
import distributed.

    batch_tools_test.py VELLMARK_CLI MAKE_SAMPLES
"""
import gzip
import os
import subprocess
import sys
import tempfile
import time
import zipfile

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "dask", "vellmark_dask.py")


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


def check_dask(cli, paths, root):
    address = os.path.join(root, "scheduler.json")
    log = open(os.path.join(root, "dask.log"), "wb")
    common = ["--no-dashboard", "--scheduler-file", address]
    start = lambda argv: subprocess.Popen([sys.executable, "-m"] + argv + common, stdout=log, stderr=subprocess.STDOUT)
    processes = [start(["distributed.cli.dask_scheduler", "--host", "127.0.0.1", "--port", "0"])]
    try:
        deadline = time.monotonic() + 30
        while not os.path.exists(address) and time.monotonic() < deadline:
            time.sleep(0.1)
        processes += [start(["distributed.cli.dask_worker", "--nthreads", "1", "--no-nanny", "--local-directory", root])
                      for _ in range(2)]
        from distributed import Client
        with Client(scheduler_file=address, timeout=30) as client:
            client.wait_for_workers(2, timeout=30)
        report, book = os.path.join(root, "dask.vmr"), os.path.join(root, "dask.xlsx")
        run = subprocess.run([sys.executable, EXAMPLE, "--scheduler-file", address, "--chunk", "4", "--cli", cli,
                              "--year", "2026", "--format", "json", "-o", report, "--xlsx", book] + paths,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        whole = subprocess.run([cli, "analyse", "--year", "2026", "--format", "json", "-o", report + ".whole"] + paths,
                               stdout=subprocess.PIPE)
        assert whole.returncode in (0, 1), whole.returncode
        assert run.stdout == whole.stdout, run.stderr.decode(errors="replace")
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


def main():
    cli, make_samples = sys.argv[1:3]
    try:
        import distributed  # noqa: F401
    except ImportError:
        print("skipped: %s cannot import distributed (Debian's python3-distributed)" % sys.executable)
        return 77
    with tempfile.TemporaryDirectory() as root:
        check_dask(cli, make_files(make_samples, root), root)
    return 0


if __name__ == "__main__":
    sys.exit(main())
