"""Runs a network test program under Wine against a real server on 127.0.0.1.

    run_unit.py fault|nginx|none BUILD TEST_PROGRAM [--port N] [--fsize-limit BYTES] [-- GTEST_ARGS...]

fault: the scriptable fault server on --port (0: any free port), its address
in VELMORA_FAULT_SERVER and, as the installer's vendor server, in
VELMORA_TEST_SERVER. nginx: nginx serving a 10,000,000-byte package,
address, package path, ETag and access log ('$status $bytes_sent "$request"'
lines) in VELMORA_NGINX_SERVER, VELMORA_NGINX_PACKAGE, VELMORA_NGINX_ETAG,
VELMORA_NGINX_LOG. none: nothing listens on --port (0: a port held for the
run, bound but not listening), VELMORA_NO_SERVER=1, and the vendor server is
that port: a manifest request the dialog makes is refused at once.
--fsize-limit caps the size of every file the test process writes, as a full
disk would (VELMORA_FSIZE_LIMIT).

Each run borrows a warm Wine session of its own (tests/e2e/seats.py), put
back as it was afterwards; with VELMORA_WINVER set (e.g. winxp) the session
reports that Windows version while the program runs. The server is stopped
when the tests end; a test that is skipped counts as a failure here, since
the runner exists to provide what the tests need.
"""
import argparse
import os
import resource
import shutil
import signal
import socket
import subprocess
import sys
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import fault_server  # noqa: E402
import nginx_server  # noqa: E402
import seats  # noqa: E402

PACKAGE_SIZE = 10000000


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def start_nginx(build, env):
    work = os.path.join(build, "tests", "nginx-unit")
    shutil.rmtree(work, ignore_errors=True)
    root = os.path.join(work, "root")
    os.makedirs(os.path.join(root, "noetag"))
    package = b"MZ" + os.urandom(PACKAGE_SIZE - 2)  # as a Windows program starts
    for name in ("velmora.exe", os.path.join("noetag", "velmora.exe")):
        with open(os.path.join(root, name), "wb") as f:
            f.write(package)
    server = nginx_server.NginxServer(root, os.path.join(work, "nginx")).start()
    address = "127.0.0.1:%d" % server.port
    with urllib.request.urlopen(urllib.request.Request("http://%s/velmora.exe" % address, method="HEAD"),
                                timeout=10) as reply:
        etag = reply.headers["ETag"].strip('"')
    env.update(VELMORA_NGINX_SERVER=address, VELMORA_NGINX_PACKAGE=windows_path(os.path.join(root, "velmora.exe")),
               VELMORA_NGINX_ETAG=etag, VELMORA_NGINX_LOG=windows_path(os.path.join(server.work, "access.log")))
    return server


def nothing_listens(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=2).close()
        return False
    except OSError:
        return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("server", choices=["fault", "nginx", "none"])
    parser.add_argument("build")
    parser.add_argument("unit_tests")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--fsize-limit", type=int, default=0)
    argv = sys.argv[1:]
    gtest_args = argv[argv.index("--") + 1:] if "--" in argv else []
    args = parser.parse_args(argv[:argv.index("--")] if "--" in argv else argv)

    env = {k: v for k, v in os.environ.items() if k.lower() not in ("http_proxy", "https_proxy", "all_proxy")}
    # The prefix is the run's own: the tests that change it may.
    env["VELMORA_FRESH_PREFIX"] = "1"
    server = None
    if args.server == "fault":
        server = fault_server.FaultServer(args.port).start()
        env["VELMORA_FAULT_SERVER"] = env["VELMORA_TEST_SERVER"] = "127.0.0.1:%d" % server.port
    elif args.server == "nginx":
        server = start_nginx(args.build, env)
    else:
        if not args.port:
            # Bound and never listening: no other program gets the port while
            # the tests run, and a connection to it is refused.
            held = socket.socket()
            held.bind(("127.0.0.1", 0))
            args.port = held.getsockname()[1]
        if not nothing_listens(args.port):
            print("run_unit: port %d is in use" % args.port)
            return 1
        env["VELMORA_NO_SERVER"] = "1"
        env["VELMORA_TEST_SERVER"] = "127.0.0.1:%d" % args.port

    def limit_file_size():
        if args.fsize_limit:
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # writes past the limit fail instead
            resource.setrlimit(resource.RLIMIT_FSIZE, (args.fsize_limit, args.fsize_limit))

    if args.fsize_limit:
        env["VELMORA_FSIZE_LIMIT"] = str(args.fsize_limit)
    build = os.path.abspath(args.build)
    seat = seats.acquire(build)
    try:
        env.update({k: v for k, v in seat.env().items() if not k.startswith("VELMORA_")})
        winver = env.get("VELMORA_WINVER")
        if winver:
            subprocess.run([seat.wineloader, "C:\\windows\\system32\\winecfg.exe", "-v", seats.winver(winver, build)],
                           env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           check=True)
        proc = subprocess.run([seat.wineloader, args.unit_tests, *gtest_args], env=env, preexec_fn=limit_file_size,
                              timeout=280, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    finally:
        if server:
            server.stop()
        seats.release(seat)
    out = proc.stdout.decode("utf-8", "replace")
    print(out)
    if "[  SKIPPED ]" in out:
        print("run_unit: tests were skipped although their server ran")
        return 1
    return proc.returncode


if __name__ == "__main__":
    sys.exit(main())
