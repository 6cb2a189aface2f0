#!/usr/bin/env python3
"""Download throughput of the installer's DownloadFile under Wine.

Serves a 100 MB package (100,000,000 random bytes) from nginx on 127.0.0.1
and prints, in MB/s (10^6 bytes per second): DownloadFile (through
bench/download_bench.exe under Wine), a bare WinInet loop of 256 KiB reads
with the installer's request flags that discards the bytes (same program,
right after DownloadFile), and `curl -o` into the same folder, alternating
with DownloadFile run by run; then the medians of the runs' ratios
DownloadFile / bare loop and DownloadFile / curl (throughput ratios: higher
is better; DownloadFile as fast as curl is 1.0). The package is written once
to the build tree's disk and once to /dev/shm (memory), which separates the
cost of the disk from that of the code. Last, curl to /dev/null: the
server's and the loopback's own pace.

    python3 bench/download_bench.py [BUILD_DIR] [--runs N] [--size BYTES] [--https]

With --https nginx serves TLS (a certificate of the tests' own authority,
tests/servers/test_ca.py, trusted in a copy of the prefix made for the
benchmark and for curl by --cacert) and everything is asked of
https://localhost.

Builds what is missing first (make build). The package goes to the Linux
side (Z:), and nothing is kept in the Internet cache, so the Wine prefix
stays untouched.
"""
import argparse
import contextlib
import os
import re
import shutil
import statistics
import subprocess
import sys

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(SOURCE, "tests", "servers"))
import nginx_server  # noqa: E402
import test_ca  # noqa: E402


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_bench(build, url, folder, env):
    """One run of download_bench.exe: (its run lines, DownloadFile MB/s,
    bare loop MB/s, the reply's header block size)."""
    proc = subprocess.run(["bash", os.path.join(SOURCE, "scripts", "wine-run.sh"), build,
                           os.path.join(build, "bench", "download_bench.exe"), url,
                           windows_path(os.path.join(folder, "velmora.exe")), "1"],
                          env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    out = proc.stdout.decode("utf-8", "replace").replace("\r", "")
    if proc.returncode != 0:
        print(out)
        raise SystemExit("download_bench.exe failed")
    figure = lambda name: float(re.search(name + r" ([\d.]+)", out).group(1))
    header = int(re.search(r"reply header block (\d+) bytes", out).group(1))
    lines = [line for line in out.splitlines() if line.startswith("run")]
    return lines, figure("median DownloadFile"), figure("median bare loop"), header


def run_curl(url, output, env, cacert=None):
    """MB/s of one `curl -o output` of url."""
    trust = ["--cacert", cacert] if cacert else []
    out = subprocess.run(["curl", "-s", *trust, "-o", output, "-w", "%{speed_download}", url],
                         check=True, stdout=subprocess.PIPE, env=env).stdout.decode()
    return float(out.replace(",", ".")) / 1e6


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--size", type=int, default=100000000)
    parser.add_argument("--https", action="store_true")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    if not shutil.which("curl"):
        raise SystemExit("curl is needed for the comparison: apt-get install curl")

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
    tls, cacert = None, None
    if args.https:
        ca = test_ca.make(os.path.join(build, "tls"))
        tls, cacert = test_ca.cert(ca, "good"), os.path.join(ca, "ca.pem")
        # A prefix of the benchmark's own that trusts the test authority.
        prefix = os.path.join(work, "prefix")
        subprocess.run(["bash", os.path.join(SOURCE, "scripts", "prefix-copy.sh"),
                        os.path.join(build, "wine", "prefix"), prefix], check=True)
        env["VELMORA_PREFIX"] = prefix
        subprocess.run(["bash", os.path.join(SOURCE, "scripts", "wine-run.sh"), build,
                        os.path.join(build, "tests", "trust_ca.exe"), windows_path(os.path.join(ca, "ca.der"))],
                       env=env, check=True)
    results = []
    header = 0
    try:
        with nginx_server.NginxServer(root, os.path.join(work, "nginx"), tls=tls) as server:
            url = server.url("/velmora.exe", host="localhost" if tls else "127.0.0.1")
            for name, folder in targets:
                os.makedirs(folder, exist_ok=True)
                curl_file = os.path.join(folder, "curl.bin")
                lines, download, bare, curl = [], [], [], []
                for i in range(args.runs):
                    run_lines, d, b, header = run_bench(build, url, folder, env)
                    lines += [re.sub(r"^run 1", "run %d" % (i + 1), line) for line in run_lines]
                    download.append(d)
                    bare.append(b)
                    with contextlib.suppress(FileNotFoundError):
                        os.remove(curl_file)
                    curl.append(run_curl(url, curl_file, env, cacert))
                    lines.append("run %d  curl -o            %8.1f MB/s" % (i + 1, curl[-1]))
                    os.remove(curl_file)
                results.append((name, lines, download, bare, curl))
            null = [run_curl(url, "/dev/null", env, cacert) for _ in range(args.runs)]
    finally:
        for _, folder in targets:
            shutil.rmtree(folder, ignore_errors=True)
        if "VELMORA_PREFIX" in env:
            subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(env, WINEPREFIX=env["VELMORA_PREFIX"]))
        shutil.rmtree(work, ignore_errors=True)

    median = statistics.median
    print("package: %d bytes from nginx on 127.0.0.1 over %s, %d runs of each; MB/s = 10^6 bytes/s, medians"
          % (args.size, "HTTPS" if tls else "HTTP", args.runs))
    print("reply header block %d bytes" % header)
    for name, lines, download, bare, curl in results:
        print("\nto %s:" % name)
        print("\n".join("  " + line for line in lines))
        print("  DownloadFile %.1f MB/s, bare WinInet loop %.1f MB/s, ratio %.2f (median of the runs' ratios)"
              % (median(download), median(bare), median(d / b for d, b in zip(download, bare))))
        print("  DownloadFile / curl -o: %.2f (median of the runs' ratios; curl -o %.1f MB/s; goal: 1.0 or more)"
              % (median(d / c for d, c in zip(download, curl)), median(curl)))
    print("\ncurl to /dev/null: %.1f MB/s" % median(null))
    return 0


if __name__ == "__main__":
    sys.exit(main())
