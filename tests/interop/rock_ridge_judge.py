#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Prints what pycdlib's Rock Ridge reader makes of an image.

usage: rock_ridge_judge.py IMAGE

One line for every entry below the root, depth first, children in the
order the directory records them:
    PATH<TAB>MODE<TAB>TARGET<TAB>NAME
PATH is the entry's path from the root through the Rock Ridge names (no
leading "/"), MODE its file mode in octal (type and permission bits),
TARGET the target of a symbolic link ("" for anything else) and NAME the
entry's own Rock Ridge name.  Names and targets are printed as UTF-8 with
bytes that are not valid UTF-8 escaped.  Exit status 0 when the image
was read whole, 1 when the reader refused it or found no Rock Ridge, 77
without python3-pycdlib.
"""
import sys

try:
    import pycdlib
except ImportError:
    print("python3-pycdlib is not installed", file=sys.stderr)
    sys.exit(77)


def text(raw):
    return raw.decode("utf-8", "backslashreplace")


def walk(iso, path, out):
    for record in iso.list_children(rr_path="/" + path):
        if record.is_dot() or record.is_dotdot():
            continue
        rock = record.rock_ridge
        if rock is None:
            raise ValueError("/%s holds a record without Rock Ridge" % path)
        name = text(rock.name())
        child = path + "/" + name if path else name
        target = text(rock.symlink_path()) if rock.is_symlink() else ""
        out.append("%s\t%o\t%s\t%s" % (child, rock.get_file_mode(), target, name))
        if record.is_dir() and not rock.is_symlink():
            walk(iso, child, out)


def main():
    if len(sys.argv) != 2:
        print("usage: rock_ridge_judge.py IMAGE", file=sys.stderr)
        return 2
    iso = pycdlib.PyCdlib()
    out = []
    try:
        iso.open(sys.argv[1])
        if not iso.has_rock_ridge():
            print("the image has no Rock Ridge", file=sys.stderr)
            return 1
        walk(iso, "", out)
        iso.close()
    except Exception as error:  # pycdlib reports a broken image in many ways
        print("pycdlib: %s: %s" % (type(error).__name__, error), file=sys.stderr)
        return 1
    sys.stdout.write("".join(line + "\n" for line in out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
