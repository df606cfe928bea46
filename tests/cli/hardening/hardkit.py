"""Helpers for the hardening cases: running the programs, stopping them at a
chosen point of their work, interrupting or killing them there, and checking
the files they leave behind.

A point is reached by looking, not by waiting a fixed time: the run is
frozen with SIGSTOP every few milliseconds, the files it has open (/proc) and
the files on disk are inspected, and when the point has been reached the
signal is sent before the run is let go again with SIGCONT. A frozen run
cannot move on, so what the inspection saw is still true when the signal
lands; the programs notice a break at their next check, which every loop over
a file's bytes makes.

Not a case itself; the cases import it.
"""
import glob
import hashlib
import os
import random
import re
import signal
import subprocess
import sys
import time
import zlib

SIGNALS = [("SIGINT", signal.SIGINT), ("SIGTERM", signal.SIGTERM), ("SIGHUP", signal.SIGHUP)]


def crc(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def read(name):
    with open(name, "rb") as f:
        return f.read()


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def random_bytes(seed, size):
    return random.Random(seed).randbytes(size)


def edited(data, seed, every=4000):
    """`data` with a byte changed every `every` bytes and a few insertions:
    a newfile that codes mostly as matches."""
    r = random.Random(seed)
    out = bytearray(data)
    for i in range(r.randrange(every), len(out), every):
        out[i] ^= 0x5A
    for _ in range(8):
        at = r.randrange(len(out))
        out[at:at] = r.randbytes(r.randrange(1, 50))
    return bytes(out)


def patched_pair(seed, size, every):
    """Writes A (random), B (A edited every `every` bytes) and the patch file
    `patch` from A to B; returns the two versions."""
    old = random_bytes(seed, size)
    new = edited(old, seed + 1, every)
    write("A", old)
    write("B", new)
    expect(timed(["Vardelta", "A", "B", "patch"])[0] == 0, "patch made")
    return old, new


def two_pairs(seed):
    """Writes o1/n1 (unrelated) and o2/n2 (n2 an edited and grown o2), the
    files of two records of one patch file; returns o2 and n2."""
    write("o1", random_bytes(seed, 256 << 10))
    write("n1", random_bytes(seed + 1, 256 << 10))
    o2 = random_bytes(seed + 2, 256 << 10)
    n2 = edited(o2, seed + 3, 3000) + random_bytes(seed + 4, 128 << 10)
    write("o2", o2)
    write("n2", n2)
    return o2, n2


def note(text):
    """A remark for someone looking into a case by hand: written to the file
    named by $HARDENING_NOTES when that is set, else dropped."""
    name = os.environ.get("HARDENING_NOTES")
    if name:
        with open(name, "a") as f:
            f.write(text + "\n")


def fail(text):
    print("FAIL: " + text)
    sys.exit(1)


def expect(condition, text):
    if not condition:
        fail(text)


# --- looking at a running process -----------------------------------------

def _state(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0]
    except OSError:
        return "X"


def freeze(proc):
    """Stops the process and waits until it is stopped; False when it has
    already ended."""
    try:
        os.kill(proc.pid, signal.SIGSTOP)
    except ProcessLookupError:
        return False
    while True:
        state = _state(proc.pid)
        if state in ("T", "t"):
            return True
        if state in ("Z", "X"):
            return False
        time.sleep(0.0002)


def thaw(proc):
    try:
        os.kill(proc.pid, signal.SIGCONT)
    except ProcessLookupError:
        pass


def open_files(pid):
    """{absolute path: (position, write access)} of the regular files the
    process has open."""
    result = {}
    base = "/proc/%d/fd" % pid
    try:
        fds = os.listdir(base)
    except OSError:
        return result
    for fd in fds:
        try:
            path = os.readlink(os.path.join(base, fd))
            with open("/proc/%d/fdinfo/%s" % (pid, fd)) as f:
                info = dict(line.split(":", 1) for line in f if ":" in line)
        except OSError:
            continue
        if not path.startswith("/"):
            continue
        flags = int(info["flags"].strip(), 8)
        result[path] = (int(info["pos"].strip()), (flags & 3) != 0)
    return result


def size_of(name):
    try:
        return os.stat(name).st_size
    except OSError:
        return -1


def temp_files():
    """The files in the private temporary directory."""
    d = os.environ["TMPDIR"]
    return [os.path.join(d, n) for n in sorted(os.listdir(d))]


def strays(pattern):
    """Unfinished files beside a replaced file, left by a run that did not
    finish: "<file>.<program>-partial.<pid>_<n>"."""
    return sorted(glob.glob(glob.escape(pattern) + ".*-partial.*_*"))


def start(args, out_name="out.txt", env=None):
    out = open(out_name, "wb")
    proc = subprocess.Popen(args, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
    out.close()
    return proc


def stop_at(args, reached, action, out_name="out.txt", poll=0.002, limit=120.0, env=None):
    """Runs `args` and freezes it again and again until `reached(pid)` holds,
    then calls `action(proc)` on the frozen process and lets it go.

    Returns (exit code, True) when the point was reached, or (exit code,
    False) when the run ended before."""
    proc = start(args, out_name, env)
    deadline = time.monotonic() + limit
    hit = False
    while time.monotonic() < deadline:
        time.sleep(poll)
        if not freeze(proc):
            break
        try:
            if reached(proc.pid):
                action(proc)
                hit = True
                break
        finally:
            thaw(proc)
    else:
        proc.kill()
        fail("run did not end: %s" % " ".join(args))
    return proc.wait(), hit


def act_at(args, reached, action, out_name="out.txt", tries=20, prepare=None, env=None, poll=0.002):
    """Calls `action(proc)` on a run frozen once `reached` holds. A run that
    ends before the point was seen is started again (after `prepare`, which
    puts the files back); the point must be seen within `tries` runs.
    Returns the exit code of the run that was acted on."""
    for _ in range(tries):
        if prepare:
            prepare()
        code, hit = stop_at(args, reached, action, out_name, poll=poll, env=env)
        if hit:
            return code
    fail("the run never reached the point: %s" % " ".join(args))


def interrupt_at(args, reached, sig, out_name="out.txt", tries=60, prepare=None, env=None):
    """Interrupts a run with `sig` once `reached` holds (see act_at)."""
    return act_at(args, reached, lambda p: os.kill(p.pid, sig), out_name, tries, prepare, env)


def kill_after(args, delay, out_name="out.txt", env=None):
    """Starts a run and kills it with SIGKILL after `delay` seconds of its
    time (or lets it finish). Returns the exit code (negative when killed)."""
    proc = start(args, out_name, env)
    try:
        return proc.wait(timeout=delay)
    except subprocess.TimeoutExpired:
        proc.kill()
        return proc.wait()


def timed(args, out_name="out.txt", env=None):
    """Runs to the end; returns (exit code, seconds)."""
    began = time.monotonic()
    proc = start(args, out_name, env)
    code = proc.wait()
    return code, time.monotonic() - began


def output(out_name="out.txt"):
    return read(out_name).decode("latin-1")


def stable(text):
    """A text with the names of temporary files made stable: the private
    temporary directory becomes $TMPDIR, and the process id and counter in
    names like patch.Vardelta-partial.4711_0 become
    patch.Vardelta-partial.<pid>_<n>."""
    text = text.replace(os.environ["TMPDIR"], "$TMPDIR")
    return re.sub(r"-partial\.[0-9]+_[0-9]+", "-partial.<pid>_<n>", text)


def lines_of(out_name="out.txt"):
    """The stable lines of a run's output: progress (carriage returns and
    cursor sequences) stripped, names of temporary files made stable."""
    text = stable(output(out_name))
    result = []
    for line in text.split("\n"):
        line = line.split("\r")[-1]
        while "\x1b[" in line:
            at = line.index("\x1b[")
            end = at + 2
            while end < len(line) and not line[end].isalpha():
                end += 1
            line = line[:at] + line[end + 1:]
        result.append(line)
    return result


# --- patch files ----------------------------------------------------------

def records(data):
    """(offset, patchsize, filesize, CRCold, CRCnew) of each record of a
    patch file; fails unless the file is complete and consistent."""
    expect(data[:4] == b"VLM3", "patch file magic")
    expect(int.from_bytes(data[4:8], "big") == crc(data[8:]), "patch file CRC total")
    count = int.from_bytes(data[8:12], "big")
    at = 12
    found = []
    for _ in range(count):
        expect(at + 24 <= len(data), "record runs past the end")
        f = [int.from_bytes(data[at + 4 * i:at + 4 * i + 4], "big") for i in range(4)]
        found.append((at, f[0], f[1], f[2], f[3]))
        at += 4 + f[0]
    expect(at == len(data), "record chain does not end at the end of the file")
    return found


_sound_patch_files = set()


def both_records_apply(data, saved, fields_of_second=None):
    """A patch file that an append of a second record to `saved` left: both
    records complete, the first unchanged, the second with the fields
    (filesize, CRCold, CRCnew) given, and both rebuilding their newfiles
    (n1 from o1 and n2 from o2) with the applier. A content already found
    sound is not checked again."""
    digest = hashlib.sha256(data).hexdigest()
    if digest in _sound_patch_files:
        return
    found = records(data)
    expect(len(found) == 2, "two records expected, found %d" % len(found))
    expect(data[12:len(saved)] == saved[12:], "the first record changed")
    if fields_of_second is not None:
        expect(tuple(found[1][2:]) == fields_of_second, "fields of the new record")
    write("check.patch", data)
    for old, new in (("o1", "n1"), ("o2", "n2")):
        code, _ = timed(["Varmend", old, "check.patch", "check.out", "QUIET"], "check.txt")
        expect(code == 0 and read("check.out") == read(new), "record for %s does not apply" % old)
        os.remove("check.out")
    os.remove("check.patch")
    _sound_patch_files.add(digest)
