#!/usr/bin/env python3
"""Checks that standard input is JSON Lines as lumaclip-cli writes them, and prints them canonically.

Every line must be well-formed UTF-8 and one JSON object with no repeated member name and no
NaN or Infinity. Each object is printed back on a line of its own with sorted keys, ASCII escapes
and no spaces, so that a test can compare it with an expected text. Exit status 1 and a message on
standard error for the first line that does not pass.
"""

import json
import sys


def reject_constant(name):
    raise ValueError("not JSON: " + name)


def unique_members(pairs):
    names = [name for name, _ in pairs]
    if len(names) != len(set(names)):
        raise ValueError("a member name is repeated")
    return dict(pairs)


def main():
    data = sys.stdin.buffer.read()
    if data and not data.endswith(b"\n"):
        sys.exit("the last line has no line end")
    for number, raw in enumerate(data.split(b"\n")[:-1] if data else [], start=1):
        try:
            text = raw.decode("utf-8", errors="strict")
            value = json.loads(text, parse_constant=reject_constant,
                               object_pairs_hook=unique_members)
            if not isinstance(value, dict):
                raise ValueError("not an object")
        except ValueError as problem:
            sys.exit("line %d: %s" % (number, problem))
        print(json.dumps(value, sort_keys=True, ensure_ascii=True, separators=(",", ":")))


if __name__ == "__main__":
    main()
