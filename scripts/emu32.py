"""32-bit x86 programs on a machine whose kernel runs 64-bit code only.

Some build machines refuse every 32-bit x86 program (their kernel's IA-32
emulation is off): there the shipped i686 installer, and 32-bit Wine, can
only run under a user-mode emulator. This runs a command where 32-bit x86
programs run: directly where the machine runs them, otherwise inside a user
and mount namespace of its own, in which the kernel's binfmt_misc (its own
instance there, kernel 6.7 and later) hands 32-bit ELF programs to Debian's
qemu-i386. Nothing is registered outside the namespace: other programs on
the machine see no change, and nothing stays when the command ends.

    emu32.py describe          one line: how 32-bit x86 code runs here
    emu32.py status            native, emulated or none
    emu32.py run CMD [ARG...]  runs CMD where 32-bit x86 code runs; exits
                               with its status

The namespace maps every user and group to itself (written from outside,
as root): services started as root that drop to another user (squid) keep
working. It needs root; qemu-i386 comes from scripts/install-deps.sh.
"""
import ctypes
import os
import signal
import subprocess
import sys
import tempfile

# Where scripts/install-deps.sh puts Debian's qemu-i386 (static).
QEMU = os.environ.get("VELMORA_QEMU_I386", "/opt/velmora/qemu/qemu-i386")
# Set inside the namespace: 32-bit programs run there by the emulator.
INSIDE = "VELMORA_EMULATED_I386"
BINFMT = "/proc/sys/fs/binfmt_misc"
# The i386 ELF executable header, as binfmt_misc matches it.
MAGIC = b"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
MASK = b"\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"

CLONE_NEWNS = 0x00020000
CLONE_NEWUSER = 0x10000000
MS_REC = 0x4000
MS_PRIVATE = 1 << 18


def handlers():
    """binfmt_misc entries of this namespace that take i386 programs."""
    out = []
    try:
        names = os.listdir(BINFMT)
    except OSError:
        return out
    for name in names:
        if name in ("register", "status"):
            continue
        try:
            with open(os.path.join(BINFMT, name)) as f:
                text = f.read()
        except OSError:
            continue
        fields = dict(line.split(" ", 1) for line in text.splitlines() if " " in line)
        if text.startswith("enabled") and fields.get("magic", "").startswith("7f454c4601010100"):
            if fields.get("magic", "").endswith("02000300"):
                out.append(fields.get("interpreter", name))
    return out


def probe_runs():
    """True when a 93-byte static i386 program (exit(0)) runs here."""
    code = (b"\x7fELF\x01\x01\x01" + b"\0" * 9 + b"\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08"
            b"\x34\x00\x00\x00" + b"\0" * 8 + b"\x34\x00\x20\x00\x01\x00" + b"\0" * 6
            + b"\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00"
            b"\x05\x00\x00\x00\x00\x10\x00\x00" + b"\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80")
    for folder in (tempfile.gettempdir(), "/dev/shm", os.path.expanduser("~")):
        try:
            fd, path = tempfile.mkstemp(prefix="velmora-ia32.", dir=folder)
        except OSError:
            continue
        try:
            os.write(fd, code)
            os.close(fd)
            os.chmod(path, 0o755)
            try:
                return subprocess.run([path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
            except PermissionError:
                continue  # a folder mounted noexec: the next one
            except OSError:
                return False  # Exec format error
        finally:
            os.unlink(path)
    return False


def status():
    """native: the kernel runs 32-bit code itself; emulated: an emulator
    does (inside this script's namespace, or one registered on the
    machine); none."""
    if os.environ.get(INSIDE) or handlers():
        return "emulated" if probe_runs() else "none"
    if probe_runs():
        return "native"
    return "emulated-here" if os.access(QEMU, os.X_OK) and os.geteuid() == 0 else "none"


def describe():
    s = status()
    if s == "native":
        return "32-bit x86 code: run by this machine's kernel"
    if s == "emulated":
        what = os.environ.get(INSIDE) or ", ".join(handlers())
        return "32-bit x86 code: emulated (%s), not run by this machine's kernel" % what
    if s == "emulated-here":
        return ("32-bit x86 code: refused by this machine's kernel; emulated by %s in a private user and mount "
                "namespace for the i686 tests" % QEMU)
    if os.geteuid() != 0 and os.access(QEMU, os.X_OK):
        return "32-bit x86 code: refused by this machine's kernel; emulating it needs root (an identity user map)"
    return "32-bit x86 code: refused by this machine's kernel, and no emulator (scripts/install-deps.sh installs it)"


def escaped(data):
    return "".join("\\x%02x" % b for b in data)


def run_emulated(argv):
    libc = ctypes.CDLL(None, use_errno=True)
    ready_r, ready_w = os.pipe()
    go_r, go_w = os.pipe()
    child = os.fork()
    if child == 0:
        try:
            os.close(ready_r)
            os.close(go_w)
            if libc.unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0:
                raise OSError(ctypes.get_errno(), "unshare")
            os.write(ready_w, b"1")
            if os.read(go_r, 1) != b"1":
                raise OSError("the user map was not written")
            # Mounts made here stay here.
            if libc.mount(None, b"/", None, MS_REC | MS_PRIVATE, None) != 0:
                raise OSError(ctypes.get_errno(), "mount --make-rprivate /")
            if libc.mount(b"binfmt_misc", BINFMT.encode(), b"binfmt_misc", 0, None) != 0:
                raise OSError(ctypes.get_errno(), "mount binfmt_misc (kernel 6.7 or later needed)")
            with open(os.path.join(BINFMT, "register"), "w") as f:
                # F: the emulator is opened now, so it is found from any
                # mount namespace and root.
                f.write(":velmora-i386:M::%s:%s:%s:F" % (escaped(MAGIC), escaped(MASK), QEMU))
            os.environ[INSIDE] = "%s in a private namespace" % QEMU
            os.execvp(argv[0], argv)
        except BaseException as e:
            print("emu32: %s" % e, file=sys.stderr)
            os._exit(127)
    os.close(ready_w)
    os.close(go_r)
    if os.read(ready_r, 1) != b"1":
        os.waitpid(child, 0)
        sys.exit("emu32: the namespace could not be made")
    # Every user and group is itself in the namespace.
    for name in ("uid_map", "gid_map"):
        with open("/proc/%d/%s" % (child, name), "w") as f:
            f.write("0 0 4294967295\n")
    os.write(go_w, b"1")
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda number, frame: os.kill(child, number))
    while True:
        try:
            _, status_ = os.waitpid(child, 0)
            break
        except InterruptedError:
            continue
    return os.waitstatus_to_exitcode(status_)


def main():
    if len(sys.argv) == 2 and sys.argv[1] == "describe":
        print(describe())
        return 0
    if len(sys.argv) == 2 and sys.argv[1] == "status":
        s = status()
        print("emulated" if s == "emulated-here" else s)
        return 0
    if len(sys.argv) > 2 and sys.argv[1] == "run":
        argv = sys.argv[2:]
        s = status()
        if s in ("native", "emulated"):
            os.execvp(argv[0], argv)
        if s == "none":
            print("emu32: %s" % describe(), file=sys.stderr)
            return 1
        code = run_emulated(argv)
        return code if code >= 0 else 128 - code
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
