"""Runs one layering probe the way the build would, in a folder of its own,
and prints what the compiler or the include check said (the test's pass
pattern reads it): the live build tree is not built from inside the tests.

    compile_probe.py BUILD_DIR SOURCE
        compiles SOURCE with the command the build has for it
        (BUILD_DIR/compile_commands.json), its object into a temporary folder
    compile_probe.py BUILD_DIR --includes ARGS...
        runs cmake/check-includes.py with ARGS, its stamp in a temporary folder
"""
import json
import os
import shlex
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.abspath(os.path.join(HERE, "..", ".."))


def compile_command(build, source):
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    for entry in entries:
        if os.path.realpath(entry["file"]) == os.path.realpath(source):
            return entry
    sys.exit("compile_probe: the build has no compile command for %s" % source)


def main():
    build, rest = sys.argv[1], sys.argv[2:]
    with tempfile.TemporaryDirectory(prefix="layering.") as private:
        if rest[0] == "--includes":
            command = [sys.executable, os.path.join(SOURCE_DIR, "cmake", "check-includes.py"), SOURCE_DIR,
                       os.path.join(private, "checked")] + rest[1:]
            cwd = private
        else:
            entry = compile_command(build, rest[0])
            command = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
            out = command.index("-o")
            command = command[:out + 1] + [os.path.join(private, "probe.obj")] + command[out + 2:]
            cwd = entry["directory"]
        done = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    sys.stdout.write(done.stdout.decode("utf-8", "replace"))
    return done.returncode


if __name__ == "__main__":
    sys.exit(main())
