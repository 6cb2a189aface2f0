"""Warm Wine sessions that the tests borrow one at a time ("seats").

Starting a Wine session (its server, wineboot, services and drivers, the
desktop, the font cache, an X display) costs more CPU than most tests' own
work under Wine. A seat is a private copy of the project's prefix whose
session stays up between tests, with an Xvfb display of its own. A test
borrows a clean seat; when the test is done, the seat is put back exactly as
it was after its warm-up and checked, before another test may borrow it:

- programs: every Windows process of the seat that was not there after the
  warm-up is ended; if one of the session's own (server, services, desktop,
  keeper) is gone, the seat is dropped; the pointer goes back to the middle
  of the display, where a new display has it;
- files: the prefix's drive_c and dosdevices trees are compared with a map
  taken after the warm-up (kind, inode, mode, size, time); what a test added
  goes, what it removed, replaced or changed comes back;
- registry: the branches Wine saves (HKLM\\Software, HKLM\\System,
  HKEY_USERS) are saved through the session's own server, compared with
  their state after the warm-up (key times aside), the differences undone
  (tests/tools/seat.cpp), then saved and compared once more.

A seat that is not the same afterwards (a mount left inside it, a file
shared with the project's prefix changed in place, a registry difference that
stays) is dropped and never lent again. A seat's session ends on its own a
while after its last use (its keeper process watches the lease file), and
its display with it; the suite's last step ends them all at once.

    seats.py stop BUILD_DIR    ends every seat of the build
"""
import bisect
import fcntl
import glob
import json
import os
import pickle
import re
import select
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.join(HERE, "..", "..", "scripts")
IDLE_SECONDS = 600  # a seat unused this long ends its session


def wine_setup(build):
    """The Wine of the build's architecture in the prefix kind
    VELMORA_PREFIX_KIND names, as scripts/wine-env.sh sets it: {"arch",
    "kind" (win32 or win64), "loader", "server", "base" (the build's prefix
    of that kind), "seats" (the folder of its seats)}."""
    with open(os.path.join(build, "velmora-arch")) as f:
        arch = f.read().strip()
    default = "win32" if arch == "i686" else "win64"
    kind = os.environ.get("VELMORA_PREFIX_KIND") or default
    if arch == "x86_64" and kind != "win64":
        raise ValueError("an x86_64 build does not run in a %s prefix" % kind)
    suffix = "" if kind == default else "-" + kind
    return {"arch": arch, "kind": kind,
            "loader": "/usr/lib/wine/wine64" if kind == "win64" else "/usr/lib/wine/wine",
            "server": "/usr/lib/wine/wineserver",
            "base": os.path.join(build, "wine", "prefix" + suffix),
            "seats": os.path.join(build, "wine", "seats" + suffix)}


def winver(version, build):
    """The name winecfg takes for version in the prefix: a 64-bit prefix
    reports XP as winxp64 (major version 5 too) and refuses winxp."""
    return "winxp64" if version == "winxp" and wine_setup(build)["kind"] == "win64" else version


def make_prefix(build):
    """The build's prefix of the kind in use, made first when it is not
    there (scripts/wine-prefix.sh)."""
    os.makedirs(os.path.join(build, "wine"), exist_ok=True)
    subprocess.run(["bash", os.path.join(SCRIPTS, "wine-prefix.sh"), build], check=True)


def warm_up_session(wineloader, wineserver, env, first=("rundll32.exe",)):
    """Brings up the Wine session of env's prefix when it is not running: its
    server, then its services and desktop, with no output inherited (they
    would hold the caller's pipes open long after it ended), by running
    first (a program and its arguments). A lock in the prefix makes
    concurrent callers wait for one warm-up."""
    with open(os.path.join(env["WINEPREFIX"], ".session.lock"), "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        if subprocess.run([wineserver, "-p3"], **quiet).returncode == 0:
            subprocess.run([wineloader, *first], **quiet)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_processes(prefix):
    """PIDs of the processes running in the Wine prefix (by their WINEPREFIX)."""
    mark = b"\0WINEPREFIX=" + os.fsencode(prefix) + b"\0"
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as f:
                env = b"\0" + f.read()
        except OSError:
            continue
        if mark in env:
            pids.append(int(entry))
    return pids


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(") ", 1)[1][0] != "Z"
    except OSError:
        return False


def spawn(argv, env=None, stdin=None, stdout=None):
    """Starts a program that outlives this process, in a session of its own
    (no Popen object that would warn at its end about a child still
    running); stdin and stdout: file descriptors, /dev/null by default."""
    null = os.open(os.devnull, os.O_RDWR)
    try:
        actions = [(os.POSIX_SPAWN_DUP2, null if stdin is None else stdin, 0),
                   (os.POSIX_SPAWN_DUP2, null if stdout is None else stdout, 1),
                   (os.POSIX_SPAWN_DUP2, null, 2)]
        return os.posix_spawnp(argv[0], argv, os.environ if env is None else env, file_actions=actions,
                               setsid=True)
    finally:
        os.close(null)


# Xvfb's arguments but the display file descriptor it writes its number to.
XVFB_ARGS = ["-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-ac"]


def read_display(read_end):
    """The display Xvfb wrote to the pipe's read_end (closed here), ":N";
    None when it wrote none."""
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    return ":" + number.decode().strip() if number.strip() else None


def start_xvfb():
    """A display of its own, outliving this process. Returns (":N", pid)."""
    read_end, write_end = os.pipe()
    os.set_inheritable(write_end, True)
    pid = spawn(["Xvfb", "-displayfd", str(write_end), *XVFB_ARGS])
    os.close(write_end)
    display = read_display(read_end)
    if display is None:
        os.kill(pid, signal.SIGKILL)
        raise RuntimeError("Xvfb gave no display")
    return display, pid


# The prefix's trees a test may change; the registry files beside them are
# the server's, rewritten by it while the session runs.
TREES = ("drive_c", "dosdevices")


def tree_map(prefix):
    """{relative path: [kind, inode, mode, size, mtime_ns, link target]}."""
    out = {}
    cut = len(prefix) + 1
    for tree in TREES:
        # os.walk does not descend into links to folders (dosdevices/z: is
        # the root).
        for folder, dirs, files in os.walk(os.path.join(prefix, tree)):
            for name in dirs + files:
                path = folder + "/" + name
                st = os.lstat(path)
                kind = "l" if stat.S_ISLNK(st.st_mode) else "d" if stat.S_ISDIR(st.st_mode) else "f"
                out[path[cut:]] = [kind, st.st_ino, stat.S_IMODE(st.st_mode), st.st_size if kind == "f" else 0,
                                   st.st_mtime_ns if kind == "f" else 0, os.readlink(path) if kind == "l" else ""]
    return out


# --- The registry as Wine's server saves it -------------------------------

ESCAPES = {"a": "\a", "b": "\b", "e": "\x1b", "f": "\f", "n": "\n", "r": "\r", "t": "\t", "v": "\v"}


def unescape(text):
    """A string as Wine's server writes it (dump_strW) back to the string."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        i += 1
        if c != "\\" or i >= len(text):
            out.append(c)
            continue
        c = text[i]
        i += 1
        if c == "x":
            digits = re.match(r"[0-9a-fA-F]{1,4}", text[i:]).group(0)
            out.append(chr(int(digits, 16)))
            i += len(digits)
        elif c in "01234567":
            digits = re.match(r"[0-7]{1,3}", text[i - 1:]).group(0)
            out.append(chr(int(digits, 8)))
            i += len(digits) - 1
        else:
            out.append(ESCAPES.get(c, c))
    return "".join(out)


def quoted_end(text, start):
    """Index after the closing quote of the quoted string at text[start]."""
    i = start + 1
    while text[i] != '"':
        i += 2 if text[i] == "\\" else 1
    return i + 1


# A key's header time and its #time line: what two saves of the same keys
# and values differ in.
TIMES = re.compile(r"\] \d+\n(?:#time=[0-9a-f]+\n)?")


def normalized(text):
    """A branch as Wine's server saves it, its keys' times taken out and its
    continued lines joined: two saves of the same keys and values are the
    same text, compared at C speed."""
    return TIMES.sub("]\n", text.replace("\\\n", ""))


def pieces(text):
    """The keys of a normalized branch, one piece of text each (the file's
    own header among them)."""
    return text.split("\n[")


def parse_pieces(parts):
    """{key path as written: its lines as written} of pieces of a branch."""
    keys = {}
    for part in parts:
        header, _, content = part.partition("\n")
        if header.endswith("]"):  # not the file's own header
            keys[header[1 if header.startswith("[") else 0:-1]] = content.strip("\n")
    return keys


def value_of(line):
    """(name or None for the default value, type, data bytes) of a value line."""
    if line.startswith("@="):
        name, rest = None, line[2:]
    else:
        end = quoted_end(line, 0)
        name, rest = unescape(line[1:end - 1]), line[end + 1:]
    if rest.startswith('"'):
        return name, 1, (unescape(rest[1:-1]) + "\0").encode("utf-16-le")
    m = re.match(r"str\(([0-9a-f]+)\):\"", rest)
    if m:
        return name, int(m.group(1), 16), (unescape(rest[m.end():-1]) + "\0").encode("utf-16-le")
    if rest.startswith("dword:"):
        return name, 4, int(rest[6:], 16).to_bytes(4, "little")
    m = re.match(r"hex(?:\(([0-9a-f]+)\))?:", rest)
    if m:
        data = bytes(int(b, 16) for b in rest[m.end():].replace(" ", "").split(",") if b)
        return name, int(m.group(1), 16) if m.group(1) else 3, data
    raise ValueError("unknown registry value: %r" % line)


def values(content):
    out = {}
    for line in content.split("\n"):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        name, kind, data = value_of(line)
        out[name] = (kind, data)
    return out


def changes(root, known, before, after):
    """seat.exe apply lines that turn a branch back into what it was: known,
    the paths of all its keys then; before and after, {path: lines} of the
    keys whose lines differ between then and now."""
    # Keys the test added: the topmost one not there before (where keys are
    # only implied by the keys below them) goes with all below it.
    ordered = sorted(known)

    def implied(path):
        i = bisect.bisect_left(ordered, path + "\\\\")
        return i < len(ordered) and ordered[i].startswith(path + "\\\\")

    ops, deleted, emptied = [], [], {}
    for path in sorted(set(after) - known):
        if any(path.startswith(d + "\\\\") for d in deleted):
            continue
        parts = path.split("\\\\")
        tops = ["\\\\".join(parts[:i]) for i in range(1, len(parts) + 1)]
        top = next((t for t in tops if t not in known and not implied(t)), None)
        if top is None:
            emptied[path] = ""  # a key that was there without values: its values go
            continue
        deleted.append(top)
        ops.append(("delete", top))
    for path, content in sorted(list(before.items()) + list(emptied.items())):
        if after.get(path) == content or "#link" in content:
            continue
        old, new = values(content), values(after.get(path, ""))
        ops.append(("create", path))
        for name, (kind, data) in old.items():
            if new.get(name) != (kind, data):
                ops.append(("set", path, name, kind, data))
        for name in new:
            if name not in old:
                ops.append(("unset", path, name))
    lines = []
    for op in ops:
        full = root + ("\\" + unescape(op[1]) if op[1] else "")
        fields = [op[0], full]
        if op[0] in ("set", "unset"):
            fields.append("@" if op[2] is None else op[2])
        if op[0] == "set":
            fields += [str(op[3]), op[4].hex()]
        lines.append("\t".join(fields))
    return lines


BRANCHES = (("software.reg", "HKLM\\Software"), ("system.reg", "HKLM\\System"), ("users.reg", "HKU"))


def read_normalized(folder, name):
    """A saved branch's normalized text: from its .norm file, kept beside a
    reference save, or normalized from the save itself."""
    path = os.path.join(folder, name)
    try:
        with open(path + ".norm", encoding="utf-8", errors="surrogateescape") as f:
            return f.read()
    except FileNotFoundError:
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            return normalized(f.read())


def keep_normalized(folder):
    """Writes the .norm files of a reference save."""
    for name, _ in BRANCHES:
        text = read_normalized(folder, name)
        with open(os.path.join(folder, name + ".norm"), "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write(text)


def undo_lines(reference, saved):
    """seat.exe apply lines that turn the registry saved in folder saved back
    into the one saved in reference; none when they hold the same."""
    lines = []
    for name, root in BRANCHES:
        then, now = read_normalized(reference, name), read_normalized(saved, name)
        if then == now:
            continue
        then_parts, now_parts = pieces(then), pieces(now)
        gone, new = set(then_parts) - set(now_parts), set(now_parts) - set(then_parts)
        lines += changes(root, set(parse_pieces(then_parts)), parse_pieces(gone), parse_pieces(new))
    return lines


# --- Seats ------------------------------------------------------------------


class SeatGone(Exception):
    pass


class ChannelError(Exception):
    pass


class Channel:
    """A command server of the seat: a program that reads one command per
    line (fields separated by tabs) from the FIFO NAME.in and answers on
    NAME.out with what it says, "\\x04" and its exit code."""
    ANSWERED = re.compile(rb"\x04(-?\d+)\r?\n")

    def __init__(self, folder, name):
        self.commands = os.path.join(folder, name + ".in")
        self.answers = os.path.join(folder, name + ".out")

    def spawn(self, argv, env):
        """Starts the server on new FIFOs, which it holds open itself: it
        never reads an end of file, and writers never wait for it."""
        os.mkfifo(self.commands)
        os.mkfifo(self.answers)
        commands = os.open(self.commands, os.O_RDWR)
        answers = os.open(self.answers, os.O_RDWR)
        try:
            return spawn(argv, env=env, stdin=commands, stdout=answers)
        finally:
            os.close(commands)
            os.close(answers)

    def call(self, fields, timeout):
        """(exit code, text) of one command; ChannelError when the server is
        gone or has not answered within timeout seconds."""
        try:
            writer = os.open(self.commands, os.O_WRONLY | os.O_NONBLOCK)
        except OSError:
            raise ChannelError("%s is gone" % os.path.basename(self.commands))
        reader = os.open(self.answers, os.O_RDONLY | os.O_NONBLOCK)
        try:
            os.write(writer, ("\t".join(fields) + "\n").encode("utf-8"))
            out, deadline = b"", time.monotonic() + timeout
            while not self.ANSWERED.search(out):
                ready, _, _ = select.select([reader], [], [], max(0, deadline - time.monotonic()))
                if not ready:
                    raise ChannelError("%s did not answer %s in %s s" % (os.path.basename(self.commands), fields[0],
                                                                          timeout))
                try:
                    out += os.read(reader, 65536)
                except BlockingIOError:
                    pass
            end = self.ANSWERED.search(out)
            return int(end.group(1)), out[:end.start()].decode("utf-8", "replace")
        finally:
            os.close(writer)
            os.close(reader)


class Seat:
    """One warm session, borrowed by this process while its lock is held."""

    def __init__(self, build, folder, lock):
        self.build, self.folder, self.lock = build, folder, lock
        self.prefix = os.path.join(folder, "prefix")
        self.reference = os.path.join(folder, "reference")
        setup = wine_setup(build)
        self.wineloader, self.wineserver, self.base = setup["loader"], setup["server"], setup["base"]
        self.info = {}
        self.dead = False  # its session was ended under it

    def env(self):
        env = dict(os.environ, WINEPREFIX=self.prefix, DISPLAY=self.info["display"], WINEDEBUG="-all",
                   WINELOADER=self.wineloader, LANG="C.UTF-8", LC_ALL="C.UTF-8",
                   WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=")
        return env

    def tool(self):
        return os.path.join(self.build, "tests", "seat.exe")

    def command(self, *fields, timeout=60):
        """Has the keeper carry out one command: (exit code, what it said)."""
        try:
            return Channel(self.folder, "keeper").call(fields, timeout)
        except ChannelError as e:
            raise SeatGone(str(e))

    def touch(self):
        with open(os.path.join(self.folder, "lease"), "a"):
            os.utime(os.path.join(self.folder, "lease"))

    # Made once, then reset between borrowers.
    def warm_up(self):
        make_prefix(self.build)
        subprocess.run(["bash", os.path.join(SCRIPTS, "prefix-copy.sh"), self.base, self.prefix], check=True)
        self.info["display"], self.info["xvfb"] = start_xvfb()
        with open(os.path.join(self.folder, "info.json"), "w") as f:
            json.dump(self.info, f)
        self.touch()
        env = self.env()
        subprocess.run([self.wineserver, "-p3"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # The keeper is the session's one user process between tests (the
        # display ends with it), and what saves and restores its registry.
        # It and the window probe, which the tests share, read commands from
        # a FIFO and answer on another, both held open by themselves: a reset
        # and a test's probing start no program.
        keeper = Channel(self.folder, "keeper").spawn(
            [self.wineloader, self.tool(), "serve", windows_path(os.path.join(self.folder, "lease")),
             str(IDLE_SECONDS)], env)
        spawn(["sh", "-c", "while [ -e /proc/%d ]; do sleep 10; done; kill %d" % (keeper, self.info["xvfb"])])
        # The probe's first command brings up the desktop and the session's
        # font cache.
        Channel(self.folder, "probe").spawn([self.wineloader, os.path.join(self.build, "tests", "winprobe.exe"),
                                             "serve"], env)
        Channel(self.folder, "probe").call(["count", "velmora-seat"], timeout=120)
        time.sleep(0.5)  # the drivers' devices settle
        self.info["system"] = sorted(wine_processes(self.prefix))
        with open(os.path.join(self.folder, "info.json"), "w") as f:
            json.dump(self.info, f)
        os.makedirs(self.reference)
        rc, said = self.command("save", windows_path(self.reference))
        if rc != 0:
            raise RuntimeError("seat: saving the registry failed: " + said)
        keep_normalized(self.reference)
        with open(os.path.join(self.reference, "files.pickle"), "wb") as f:
            pickle.dump(tree_map(self.prefix), f)
        # Files the warm-up made itself are not in the project's prefix: kept
        # to put back from.
        base = self.base
        for rel, entry in tree_map(self.prefix).items():
            if entry[0] == "f" and not same_inode(os.path.join(base, rel), entry[1]):
                keep = os.path.join(self.reference, "files", rel)
                os.makedirs(os.path.dirname(keep), exist_ok=True)
                shutil.copy2(os.path.join(self.prefix, rel), keep)

    def reset(self):
        """Puts the seat back as it was after its warm-up; raises SeatGone
        when that cannot be done or shown."""
        if self.dead:
            raise SeatGone("its session was ended")
        # Until two looks in a row find none: a program caught between its
        # loader and its exec has no readable environment for a moment.
        deadline, quiet = time.monotonic() + 10, 0
        while quiet < 2:
            others = [pid for pid in wine_processes(self.prefix)
                      if pid not in self.info["system"] and alive(pid)]
            quiet = 0 if others else quiet + 1
            for pid in others:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            if time.monotonic() > deadline:
                raise SeatGone("its programs did not end")
            time.sleep(0.02)
        if not all(alive(pid) for pid in self.info["system"]):
            raise SeatGone("a process of its session ended")
        with open("/proc/self/mounts") as f:
            if any((" " + self.folder + "/") in line for line in f):
                raise SeatGone("a file system is still mounted in it")
        # The pointer where a new display has it, in the middle: where the
        # last test left it, it would hover over the next test's window.
        if subprocess.run(["xdotool", "mousemove", "--screen", "0", "640", "512"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, env=dict(os.environ, DISPLAY=self.info["display"])).returncode:
            raise SeatGone("its pointer could not be moved")
        self.restore_files()
        self.restore_registry()

    def restore_files(self):
        with open(os.path.join(self.reference, "files.pickle"), "rb") as f:
            before = pickle.load(f)
        base = self.base
        now = tree_map(self.prefix)
        # Deepest first: a folder's entries go before the folder.
        for rel in sorted(set(now) - set(before), key=len, reverse=True):
            path = os.path.join(self.prefix, rel)
            if now[rel][0] == "d":
                shutil.rmtree(path, ignore_errors=True)
            else:
                os.unlink(path)
        for rel in sorted(before, key=len):
            entry, path = before[rel], os.path.join(self.prefix, rel)
            if now.get(rel) == entry:
                continue
            kind = entry[0]
            if kind == "d":
                if not os.path.isdir(path) or os.path.islink(path):
                    if os.path.lexists(path):
                        os.unlink(path)
                    os.mkdir(path)
                os.chmod(path, entry[2])
                continue
            current = now.get(rel)
            if current and current[0] == "f" and current[1] == entry[1] and same_inode(os.path.join(base, rel),
                                                                                      entry[1]):
                raise RuntimeError("seat: %s, shared with the project's prefix, was changed in place: the prefix "
                                   "%s is no longer the one the tests were made for" % (rel, base))
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)
            elif os.path.lexists(path):
                os.unlink(path)
            if kind == "l":
                os.symlink(entry[5], path)
            elif same_inode(os.path.join(base, rel), entry[1]):
                os.link(os.path.join(base, rel), path)
                os.chmod(path, entry[2])
            else:
                shutil.copy2(os.path.join(self.reference, "files", rel), path)
        after = tree_map(self.prefix)
        # Restored copies are new files: only their kind, mode, size and
        # content count; the rest must be as before.
        for rel, entry in before.items():
            got = after.get(rel)
            if got is None or got[0] != entry[0] or got[2] != entry[2] or got[3] != entry[3] or got[5] != entry[5]:
                raise SeatGone("%s could not be put back" % rel)
        if set(after) != set(before):
            raise SeatGone("files could not be removed: %s" % sorted(set(after) - set(before))[:5])
        if after != before:  # copies put back are new files
            with open(os.path.join(self.reference, "files.pickle"), "wb") as f:
                pickle.dump(after, f)

    def restore_registry(self):
        for attempt in range(2):
            now = os.path.join(self.folder, "now")
            shutil.rmtree(now, ignore_errors=True)
            os.makedirs(now)
            rc, said = self.command("save", windows_path(now))
            if rc != 0:
                raise SeatGone("saving its registry failed: " + said)
            ops = undo_lines(self.reference, now)
            if not ops:
                return
            if attempt == 1:
                raise SeatGone("registry differences stay: %s" % ops[:5])
            with open(os.path.join(self.folder, "undo.txt"), "w", encoding="utf-8") as f:
                f.write("\n".join(ops) + "\n")
            rc, said = self.command("apply", windows_path(os.path.join(self.folder, "undo.txt")))
            if rc != 0:
                raise SeatGone("undoing registry changes failed: " + said)

    def end(self):
        """Ends the seat's session and display and removes it."""
        end_folder(self.folder, self.info)


def same_inode(path, inode):
    try:
        return os.lstat(path).st_ino == inode
    except OSError:
        return False


def end_folder(folder, info=None):
    if info is None:
        try:
            with open(os.path.join(folder, "info.json")) as f:
                info = json.load(f)
        except (OSError, ValueError):
            info = {}
    prefix = os.path.join(folder, "prefix")
    subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for pid in wine_processes(prefix):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    if info.get("xvfb"):
        try:
            os.kill(info["xvfb"], signal.SIGTERM)
        except ProcessLookupError:
            pass
    shutil.rmtree(folder, ignore_errors=True)


def acquire(build, top=None):
    """A clean warm seat, locked for this process; a new one when none is
    free. top: the folder of the seats (the build's by default)."""
    top = top or wine_setup(build)["seats"]
    os.makedirs(top, exist_ok=True)
    for name in sorted(os.listdir(top)):
        folder = os.path.join(top, name)
        if name.startswith("."):
            continue
        try:
            lock = open(os.path.join(folder, "lock"), "a")
        except OSError:
            continue
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            lock.close()
            continue
        seat = Seat(build, folder, lock)
        try:
            # Without its ready mark a borrower or its maker ended before
            # giving it back.
            os.remove(os.path.join(folder, "ready"))
            with open(os.path.join(folder, "info.json")) as f:
                seat.info = json.load(f)
            usable = all(alive(pid) for pid in seat.info["system"])
        except (OSError, ValueError, KeyError):
            usable = False
        if usable:
            seat.touch()
            return seat
        seat.end()
        lock.close()
    # A new seat is made under a name no one looks at, its lock taken first.
    folder = tempfile.mkdtemp(prefix=".new-", dir=top)
    lock = open(os.path.join(folder, "lock"), "a")
    fcntl.flock(lock, fcntl.LOCK_EX)
    final = tempfile.mkdtemp(prefix="seat-", dir=top)
    os.rmdir(final)
    os.rename(folder, final)
    seat = Seat(build, final, lock)
    try:
        seat.warm_up()
    except BaseException:
        seat.end()
        lock.close()
        raise
    return seat


def release(seat):
    """Puts the seat back for the next test, or drops it."""
    try:
        seat.reset()
    except SeatGone as why:
        print("seats: %s dropped: %s" % (os.path.basename(seat.folder), why), file=sys.stderr)
        seat.end()
        seat.lock.close()
        return
    except BaseException:
        seat.end()
        seat.lock.close()
        raise
    with open(os.path.join(seat.folder, "ready"), "w"):
        pass
    seat.touch()
    seat.lock.close()


def stop_all(build, top=None):
    """Ends the seats in top, or every seat of the build (of either prefix
    kind)."""
    tops = [top] if top else glob.glob(os.path.join(build, "wine", "seats*"))
    for top in tops:
        if not os.path.isdir(top):
            continue
        for name in os.listdir(top):
            end_folder(os.path.join(top, name))
        shutil.rmtree(top, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "stop":
        stop_all(os.path.abspath(sys.argv[2]))
    else:
        sys.exit("usage: seats.py stop BUILD_DIR")
