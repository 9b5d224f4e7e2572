"""Drive one engine program through its standard input and output.

An Engine starts the program in a fresh temporary directory, sends it lines,
reads its reply lines with time-outs and waits for it to end. Reads and
writes never block: large inputs are written while the output is drained, so
neither side can stall on a full pipe. Everything the program printed is kept
in `transcript` for failure messages; its standard error goes to a file.

The process test scripts share ProgramCase (start a program, wait for its
end), program_suite (their test classes once per program) and run_tests.
"""

import errno
import functools
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

# Factor on the waits after which a test gives up on the program (not on the
# quiet windows of read_quiet): a loaded or instrumented machine answers late.
# ctest passes its CORVATINE_TEST_TIMEOUT_SCALE here.
WAIT_SCALE = float(os.environ.get("CORVATINE_TEST_WAIT_SCALE", "1") or "1")


class EngineError(AssertionError):
    """The program did not answer as expected; the message has the transcript."""


class Engine:
    def __init__(self, program, args=(), cwd=None, env=None):
        if os.sep in program:
            program = os.path.abspath(program)  # the program runs in another directory
        self.program = program
        self._tempdir = None
        if cwd is None:
            self._tempdir = tempfile.TemporaryDirectory(prefix="crv-")
            cwd = self._tempdir.name
        self.cwd = cwd
        self._stderr = open(os.path.join(cwd, "stderr.txt"), "w+b")
        command = [program, *args]
        try:
            self.proc = self._start(command, cwd, env)
        except OSError as error:
            # A kernel without 32-bit support runs 32-bit programs through
            # the user-mode emulator, when it is installed.
            emulator = shutil.which("qemu-i386")
            if error.errno != errno.ENOEXEC or emulator is None:
                raise
            self.proc = self._start([emulator, *command], cwd, env)
        self._out = self.proc.stdout.fileno()
        self._in = self.proc.stdin.fileno()
        os.set_blocking(self._out, False)
        os.set_blocking(self._in, False)
        self._pending = b""      # output read but not yet split into lines
        self._lines = []         # complete lines not yet handed out
        self._eof = False
        self.transcript = []     # every line the program printed

    def _start(self, command, cwd, env):
        return subprocess.Popen(command, cwd=cwd, env=env, stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=self._stderr)

    # -- context manager: the program never outlives the test ---------------
    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    # -- output ---------------------------------------------------------------
    def _drain(self, timeout):
        """Reads what arrives within timeout seconds (0: only what is there)."""
        if self._eof:
            return
        ready, _, _ = select.select([self._out], [], [], max(0.0, timeout))
        if not ready:
            return
        try:
            data = os.read(self._out, 65536)
        except BlockingIOError:
            return
        if not data:
            self._eof = True
            if self._pending:
                self._take(self._pending.decode("utf-8", "replace"))
                self._pending = b""
            return
        self._pending += data
        *complete, self._pending = self._pending.split(b"\n")
        for raw in complete:
            self._take(raw.decode("utf-8", "replace").rstrip("\r"))

    def _take(self, line):
        self._lines.append(line)
        self.transcript.append(line)

    def read_line(self, timeout=5.0):
        """The next output line, or None when none came within timeout or the output ended."""
        deadline = time.monotonic() + timeout
        while not self._lines and not self._eof:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                break
            self._drain(remaining)
        return self._lines.pop(0) if self._lines else None

    def read_until(self, match, timeout=10.0):
        """Lines up to and including the first one for which match(line) holds
        (a string matches a line that starts with it). Fails on time-out or end."""
        test = match if callable(match) else (lambda line: line.startswith(match))
        timeout *= WAIT_SCALE
        deadline = time.monotonic() + timeout
        seen = []
        while True:
            line = self.read_line(max(0.0, deadline - time.monotonic()))
            if line is None:
                why = "the output ended" if self._eof else f"nothing within {timeout} s"
                self.fail(f"waiting for {match!r}: {why}")
            seen.append(line)
            if test(line):
                return seen

    def read_quiet(self, quiet=0.3, timeout=5.0):
        """All lines until the program has been silent for `quiet` seconds."""
        deadline = time.monotonic() + timeout
        seen = []
        while time.monotonic() < deadline:
            line = self.read_line(min(quiet, max(0.0, deadline - time.monotonic())))
            if line is None:
                break
            seen.append(line)
        return seen

    def sync(self, timeout=10.0):
        """Sends "isready"; gives the lines printed before its "readyok"."""
        self.send("isready")
        return self.read_until("readyok", timeout)[:-1]

    def ask(self, line, timeout=10.0):
        """Sends line, then "isready"; gives the reply lines before "readyok"."""
        self.send(line)
        return self.sync(timeout)

    # -- input ----------------------------------------------------------------
    def send(self, line):
        """Sends one line (a line end is added)."""
        self.send_raw((line + "\n").encode())

    def send_raw(self, data, timeout=10.0):
        """Sends bytes as they are, draining the output meanwhile."""
        deadline = time.monotonic() + timeout * WAIT_SCALE
        view = memoryview(data)
        while view:
            if time.monotonic() > deadline:
                self.fail("input not taken within the time-out")
            _, writable, _ = select.select([], [self._in], [], 0.05)
            if writable:
                try:
                    view = view[os.write(self._in, view):]
                except BlockingIOError:
                    pass
                except BrokenPipeError:
                    self.fail("the program closed its input")
            self._drain(0)

    def close_input(self):
        """Ends standard input (the program sees end of input)."""
        if not self.proc.stdin.closed:
            try:
                self.proc.stdin.close()
            except BrokenPipeError:
                pass

    # -- end ------------------------------------------------------------------
    def wait(self, timeout=10.0):
        """Waits for the program to end, reading its output; gives the exit code.
        A program still running after timeout is killed and the test fails."""
        timeout *= WAIT_SCALE
        deadline = time.monotonic() + timeout
        while self.proc.poll() is None:
            if time.monotonic() > deadline:
                self.proc.kill()
                self.proc.wait()
                self.fail(f"still running after {timeout} s")
            self._drain(0.05)
        while not self._eof:
            self._drain(0.05)
        return self.proc.returncode

    def stderr_text(self):
        self._stderr.flush()
        self._stderr.seek(0)
        return self._stderr.read().decode("utf-8", "replace")

    def close(self):
        """Kills the program if it still runs and removes its directory."""
        self.close_input()
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        self.proc.stdout.close()
        self._stderr.close()
        if self._tempdir is not None:
            self._tempdir.cleanup()
            self._tempdir = None

    def fail(self, message):
        tail = "\n".join(self.transcript[-30:])
        err = self.stderr_text()[-3000:] if not self._stderr.closed else ""
        raise EngineError(f"{os.path.basename(self.program)}: {message}\n"
                          f"--- last output ---\n{tail}\n--- stderr ---\n{err}")


def parse_program_args(argv):
    """Splits `--program NAME=PATH` (repeated) and `--shared DIR` from argv.
    Gives ({name: path}, shared_dir, the remaining arguments)."""
    programs, shared, rest = {}, None, []
    items = iter(argv)
    for item in items:
        if item == "--program":
            name, _, path = next(items).partition("=")
            programs[name] = path
        elif item == "--shared":
            shared = next(items)
        else:
            rest.append(item)
    return programs, shared, rest


@functools.lru_cache(maxsize=None)
def sanitized(path):
    """Whether the program was built with AddressSanitizer: such a program
    runs several times slower and reserves terabytes of address space at
    start-up, so it cannot start under an address-space limit."""
    try:
        with open(path, "rb") as f:
            return b"__asan_init" in f.read()
    except OSError:
        return False


class ProgramCase:
    """What the process tests of one program share; mixed into a TestCase
    class per program by program_suite."""
    program = None  # the path of the program under test
    slow = False    # sanitizer and emulated builds get wider time-outs

    def wait_s(self, seconds):
        """A time-out, five times as long for a slow build."""
        return seconds * 5 if self.slow else seconds

    def launch(self, cwd=None):
        """The program started (in a fresh directory unless cwd is given);
        it is killed at the end of the test if it still runs."""
        engine = Engine(self.program, cwd=cwd)
        self.addCleanup(engine.close)
        return engine

    def assertEnds(self, engine, code=0, timeout=10):
        """The program ends by itself, with the exit code."""
        self.assertEqual(engine.wait(self.wait_s(timeout)), code, engine.stderr_text()[-2000:])


def program_suite(loader, prefix, tests, programs, slow_marks=()):
    """The tests of the mixin class `tests` once per program, as classes
    named prefix_NAME; a program whose name holds one of slow_marks is slow,
    and so is every sanitized program (tools/sanitize.sh builds them all so)."""
    suite = unittest.TestSuite()
    for name, path in programs.items():
        slow = any(mark in name for mark in slow_marks) or sanitized(path)
        case = type(f"{prefix}_{name}", (tests, unittest.TestCase), {"program": path, "slow": slow})
        suite.addTests(loader.loadTestsFromTestCase(case))
    return suite


def run_tests(programs, rest):
    """Runs the calling script's tests; at least one program must be given."""
    if not programs:
        sys.exit("no program given (--program NAME=PATH)")
    unittest.main(argv=[sys.argv[0], *rest])
