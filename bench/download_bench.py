#!/usr/bin/env python3
"""Download throughput of the installer's DownloadFile under Wine.

Serves a 100 MB package (100,000,000 random bytes) from nginx on 127.0.0.1
and prints, in MB/s (10^6 bytes per second): DownloadFile (through
bench/download_bench.exe under Wine), a bare WinInet loop of 64 KiB reads
that discards the bytes (same program, same run, alternating with
DownloadFile), and curl; then the ratio DownloadFile / bare loop. The
package is written once to the build tree's disk and once to /dev/shm
(memory), which separates the cost of the disk from that of the code.

    python3 bench/download_bench.py [BUILD_DIR] [--runs N] [--size BYTES]

Builds what is missing first (make build). The package goes to the Linux
side (Z:), so the Wine prefix stays untouched.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(SOURCE, "tests", "servers"))
import nginx_server  # noqa: E402


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_bench(build, url, folder, runs, env):
    proc = subprocess.run(["bash", os.path.join(SOURCE, "scripts", "wine-run.sh"), build,
                           os.path.join(build, "bench", "download_bench.exe"), url,
                           windows_path(os.path.join(folder, "velmora.exe")), str(runs)],
                          env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=1200)
    out = proc.stdout.decode("utf-8", "replace").replace("\r", "")
    if proc.returncode != 0:
        print(out)
        raise SystemExit("download_bench.exe failed")
    figure = lambda name: float(re.search(name + r" ([\d.]+)", out).group(1))
    header = re.search(r"reply header block (\d+) bytes", out).group(1)
    return out, figure("median DownloadFile"), figure("median bare loop"), figure("median ratio of the runs"), header


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--size", type=int, default=100000000)
    args = parser.parse_args()
    build = os.path.abspath(args.build)

    subprocess.run(["make", "-C", SOURCE, "build", "BUILD=" + build], check=True, stdout=subprocess.DEVNULL)
    work = os.path.join(build, "bench", "download")
    shutil.rmtree(work, ignore_errors=True)
    root = os.path.join(work, "root")
    os.makedirs(root)
    with open(os.path.join(root, "velmora.exe"), "wb") as f:
        for _ in range(args.size // 1000000):
            f.write(os.urandom(1000000))
        f.write(os.urandom(args.size % 1000000))
    targets = [("disk (build tree)", os.path.join(work, "dl"))]
    if os.path.isdir("/dev/shm"):
        targets.append(("memory (/dev/shm)", os.path.join("/dev/shm", "velmora-bench-%d" % os.getpid())))

    env = {k: v for k, v in os.environ.items() if k.lower() not in ("http_proxy", "https_proxy", "all_proxy")}
    results = []
    try:
        with nginx_server.NginxServer(root, os.path.join(work, "nginx")) as server:
            url = "http://127.0.0.1:%d/velmora.exe" % server.port
            curl = []
            for _ in range(args.runs if shutil.which("curl") else 0):
                out = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{speed_download}", url],
                                     check=True, stdout=subprocess.PIPE, env=env).stdout.decode()
                curl.append(float(out) / 1e6)
            for name, folder in targets:
                os.makedirs(folder, exist_ok=True)
                results.append((name,) + run_bench(build, url, folder, args.runs, env))
    finally:
        for _, folder in targets:
            shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(work, ignore_errors=True)

    print("package: %d bytes from nginx on 127.0.0.1, %d runs of each; MB/s = 10^6 bytes/s, medians"
          % (args.size, args.runs))
    header = int(results[0][5])
    print("reply header block %d bytes: %s" % (header, "ETag path (resumable)" if header < 256
                                                 else "over the 256-byte buffer, so no ETag: fresh download"))
    for name, out, download, bare, ratio, _ in results:
        print("\nto %s:" % name)
        print("\n".join("  " + line for line in out.strip().splitlines() if line.startswith("run")))
        print("  DownloadFile %.1f MB/s, bare WinInet loop %.1f MB/s, ratio %.2f (median of the runs' ratios)"
              % (download, bare, ratio))
    print("\ncurl: %s" % ("%.1f MB/s" % statistics.median(curl) if curl else "not installed"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
