"""Fails when a file of a layer includes, by a quoted path relative to its
own folder ("../app/X.h"), a header of a layer it may not use. The compiler
looks next to the including file before the include paths, so the layers'
include folders alone do not stop such an include; an include by folder
("app/X.h") is stopped by them.

Usage: check-includes.py SOURCE_DIR STAMP --allowed FOLDER... --layers FOLDER... --files FILE...
  --allowed  the source folders the layer may include from (its own and
             those of the layers below it)
  --layers   every layer's source folders
Writes STAMP when every file passes."""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def lists(argv):
    out, key = {}, None
    for arg in argv:
        if arg.startswith("--"):
            key = arg[2:]
            out[key] = []
        else:
            out[key].append(arg)
    return out


def folder_of(path, source, folders):
    """The layer folder path lies in, or None outside them all."""
    rel = os.path.relpath(path, source)
    top = rel.split(os.sep, 1)[0]
    return top if top in folders else None


def main(argv):
    source, stamp = os.path.realpath(argv[0]), argv[1]
    opts = lists(argv[2:])
    allowed, layers = set(opts["allowed"]), set(opts["layers"])
    errors = []
    for name in opts["files"]:
        path = os.path.realpath(name)
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        for match in INCLUDE.finditer(text):
            target = os.path.realpath(os.path.join(os.path.dirname(path), match.group(1)))
            if not os.path.exists(target):
                continue  # found, if at all, through the include paths
            folder = folder_of(target, source, layers)
            if folder and folder not in allowed:
                line = text.count("\n", 0, match.start()) + 1
                errors.append("%s:%d: includes %s, a header of %s/, which this layer may not use"
                              % (name, line, match.group(1), folder))
    if errors:
        print("\n".join(errors), file=sys.stderr)
        return 1
    with open(stamp, "w"):
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
