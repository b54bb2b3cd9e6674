"""Run a Windows program under Wine for end-to-end tests, and read back what it did.

Python 3.11 standard library only.  Typical use::

    with WinePrefix("/tmp/e2e/prefix") as wp:
        wp.set_tmp("/tmp/e2e/tmp")                    # TMP = Z:\\tmp\\e2e\\tmp
        r = wp.run("build/reelstart.exe", '"" /name', relay=["user32.MessageBoxA"])
        r.code, r.called("MessageBoxA")[0].args[1]    # exit code, decoded message text
        wp.read_key(r"HKCU\\Software\\Reelstart")     # {"Starts Count": ("REG_DWORD", 1)}

The harness's own Windows programs (reader.exe here; the tests' probe, collate, hold
and contract) are not compiled by the tests: scripts/build.sh builds them with the
Windows preset of the prefix's architecture into its build folder (HELPERS), from
tests/e2e/helpers/CMakeLists.txt.

What Wine 8 (Debian 12) does, and this module relies on:
* One persistent wineserver per prefix serves all runs (a warm run ~0.15 s, a cold start
  ~0.9 s, and some ten Wine processes of its own).  A registry change is seen by the next
  process started; no restart needed.  Every Wine process start counts (several times
  over under emulation): the harness batches registry writes into one `regedit /S` and
  reads into one reader.exe where it can.  `wine regedit.exe` (a name, not a file) costs
  one more process than `wine PREFIX/drive_c/windows/regedit.exe`, which looks nothing up;
  the harness names Wine's own programs by their files.
* Programs take TMP/TEMP from HKCU\\Environment, then from the system Environment key;
  the Unix TMP/TEMP are ignored.
* Wine's loader turns argv into a command line like subprocess.list2cmdline, always
  quoting the program path.  An exact raw command line goes through `cmd /c %VAR%`,
  which hands the expanded text to CreateProcess unchanged.
* Which Wine runs, in a prefix of which architecture, is tools/winearch.py's choice
  (32-bit, natively or in tools/vmrun.py's emulated machine; 64-bit for the test twin
  only when asked for); TARGET holds it.
* Exit codes pass through the Unix exit status: only the low 8 bits survive.
* regedit ends with 0 whether or not it did its work (a file it cannot open or write, a
  key it cannot open), and says why on stdout in the OEM code page (866), in Russian.
* What a run starts (a ShellExecute target...) inherits its Unix stdout/stderr: output
  is collected in files, never pipes, which would not reach EOF.
"""
from __future__ import annotations

import contextlib, fcntl, hashlib, os, pathlib, re, shutil, signal, subprocess, sys, tempfile, time, unittest, weakref
from dataclasses import dataclass, field

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
import winearch  # noqa: E402

TARGET = winearch.target()
# CTest named the tests and chose the road when the tree was configured (E2E_ARCH,
# E2E_HOW); the probe answers now.  Where they differ, the tests would run somewhere
# other than they say.
_ROAD = "vm" if os.environ.get("REELSTART_VM") else TARGET.how
for _name, _now in (("E2E_ARCH", TARGET.arch), ("E2E_HOW", _ROAD)):
    if os.environ.get(_name, _now) != _now:
        sys.exit(f"the tests were configured for {_name}={os.environ[_name]}, but here it is {_now} "
                 f"({winearch.describe(TARGET)}): configure again (cmake --preset host)")
# How much longer than on a plain machine a step may take: tools/vmrun.py's emulated
# machine translates every instruction, and says how much slower that makes it.  Every
# time limit of the harness (and of the tests, through scaled()) grows by it; nothing a
# test checks changes.
TIME_FACTOR = float(os.environ.get("REELSTART_TIME_FACTOR") or 1)


def scaled(seconds: float) -> float:
    return seconds * TIME_FACTOR

# Where scripts/build.sh puts the helper programs of the prefix's architecture: beside
# the exe of that architecture (build/win32 or build/win64), or E2E_HELPERS.
HELPERS = pathlib.Path(os.environ.get("E2E_HELPERS") or TARGET.exe.parent / "e2e-helpers")

ANSI = "cp1251"  # Wine's ANSI code page under LC_ALL=ru_RU.UTF-8
# A run's variables for English (United States) Formats with Russian for programs that
# are not Unicode: Wine takes the ANSI code page from LC_CTYPE, the user's locale from
# LC_MESSAGES (and rewrites the prefix's Formats for it; the next run under LOCALE
# writes them back).
ENGLISH_FORMATS = {"LC_ALL": "", "LC_CTYPE": "ru_RU.UTF-8", "LC_MESSAGES": "en_US.UTF-8"}
OEM = "cp866"    # and its OEM code page, of what console programs print
# What `regedit /E FILE KEY` prints, and all it does, when there is no KEY (Wine 8,
# LOCALE): "Unable to open the registry key" of its English texts.
NO_KEY = "regedit: не удалось открыть ключ <{}>.\r\n"
LOCALE = "ru_RU.UTF-8"
TYPES = {"REG_NONE": 0, "REG_SZ": 1, "REG_EXPAND_SZ": 2, "REG_BINARY": 3, "REG_DWORD": 4,
         "REG_MULTI_SZ": 7, "REG_QWORD": 11}
ROOTS = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE", "HKCR": "HKEY_CLASSES_ROOT"}
USER_ENV = r"HKCU\Environment"
SYSTEM_ENV = r"HKLM\System\CurrentControlSet\Control\Session Manager\Environment"
# Wine's own long-lived processes: a run neither waits for them nor kills them.
SYSTEM_PROCS = {"services.exe", "winedevice.exe", "plugplay.exe", "svchost.exe", "explorer.exe",
                "rpcss.exe", "conhost.exe", "wineboot.exe"}
_ESC = {"n": "\n", "r": "\r", "t": "\t", "a": "\a", "b": "\b", "v": "\v", "f": "\f", "e": "\x1b"}


def missing(what: str):
    """A test cannot run for want of `what`, which scripts/setup-debian.sh provides: the
    test is skipped (CTest then shows its module as skipped), but under CI=true it fails,
    since there a test that never runs must not pass as one that did."""
    if os.environ.get("CI", "").lower() == "true":
        raise AssertionError(f"CI=true, and a test cannot run: {what}")
    raise unittest.SkipTest(what)


def helper(name: str) -> str:
    """The Unix path of the helper program `name` ("probe" for probe.exe); one not built
    is missing()."""
    path = HELPERS / f"{name}.exe"
    if not path.is_file():
        missing(f"{path} is not built: bash scripts/build.sh")
    return str(path)


def win_path(path) -> str:
    """Unix path -> Windows path on drive Z: ("/tmp/a b" -> "Z:\\tmp\\a b")."""
    return "Z:" + os.path.abspath(os.fspath(path)).replace("/", "\\")


def unix_path(path: str, prefix: str | None = None) -> str:
    """Windows path on Z: (or on C: of `prefix`) -> Unix path."""
    drive, rest = path[:2].upper(), path[2:].replace("\\", "/")
    if drive == "Z:" or (drive == "C:" and prefix):
        return (os.path.join(prefix, "drive_c") if drive == "C:" else "") + rest or "/"
    raise ValueError(f"cannot map {path!r} to a Unix path")


def decode_ansi(data: bytes, errors: str = "strict") -> str:
    """Text of bytes an ANSI program wrote (a playlist...): Windows-1251."""
    return data.decode(ANSI, errors)


# ---------------------------------------------------------------- relay trace
@dataclass
class Call:
    """A traced call: name "dll.Func" as Wine prints it (dll case varies: KERNEL32), args
    (int, or str for a string pointer), retval (None without a Ret line), thread id, and
    the indexes of strings that Wine cut (it prints ~300 characters of escaped text)."""
    name: str
    args: list
    retval: int | None = None
    tid: str = ""
    truncated: tuple = ()


_CALL = re.compile(r"([0-9a-f]+):Call ([\w.]+)\.(\w+)\((.*)\) ret=[0-9a-f]+$")
_RET = re.compile(r"([0-9a-f]+):Ret  ([\w.]+)\.(\w+)\(\) retval=([0-9a-f]+) ret=[0-9a-f]+$")
_ARG = re.compile(r'([0-9a-fA-F]+)(?: (L?)"((?:[^"\\]|\\.)*)"(\.\.\.)?)?(?:,|$)')


def decode_relay_string(text: str, wide: bool = False) -> str:
    """Decode a relay string's inside.  A strings: printable ASCII as is; \\n \\r \\t \\" \\\\;
    every other byte as \\xHH (two hex digits) of the ANSI code page.  L"" strings: the
    same, but other characters as \\HHHH (four hex digits, UTF-16 unit, no 'x')."""
    if wide:
        return re.sub(r"\\([0-9a-fA-F]{4}|.)", lambda m: chr(int(m[1], 16)) if len(m[1]) == 4
                      else _ESC.get(m[1], m[1]), text)
    raw = re.sub(rb"\\(x[0-9a-fA-F]{2}|.)", lambda m: bytes([int(m[1][1:], 16)]) if len(m[1]) == 3
                 else _ESC.get(m[1].decode(), m[1].decode()).encode(), text.encode("latin-1"))
    return raw.decode(ANSI, "replace")


def parse_relay(text: str, only=None) -> list[Call]:
    """Calls in WINEDEBUG=+relay output; only: names as in RelayInclude ("dll.Func",
    "dll" or "Func", case-insensitive), None for all."""
    want = {w.lower() for w in only or ()}
    calls, pending = [], {}
    for line in text.splitlines():
        m = _CALL.match(line)
        if m and (not want or want & {f"{m[2]}.{m[3]}".lower(), m[2].lower(), m[3].lower()}):
            call, pos = Call(f"{m[2]}.{m[3]}", [], None, m[1]), 0
            while pos < len(m[4]):
                if not (a := _ARG.match(m[4], pos)):
                    raise ValueError(f"cannot parse relay arguments: {m[4]!r}")
                string = a[3] is not None
                call.args.append(decode_relay_string(a[3], bool(a[2])) if string else int(a[1], 16))
                call.truncated += (len(call.args) - 1,) if a[4] else ()
                pos = a.end()
            calls.append(call)
            pending.setdefault((m[1], call.name), []).append(call)
        elif (r := _RET.match(line)) and pending.get((r[1], f"{r[2]}.{r[3]}")):
            pending[(r[1], f"{r[2]}.{r[3]}")].pop().retval = int(r[4], 16)
    return calls


# ---------------------------------------------------------------- registry files
def _unescape(s: str) -> str:
    """String escapes of regedit files and of wineserver's files (\\x<1-4 hex>, octal)."""
    def rep(m):
        e = m[1]
        if e[0] == "x":
            return chr(int(e[1:], 16))
        return chr(int(e, 8)) if e[0] in "01234567" else _ESC.get(e, e)
    return re.sub(r"\\(x[0-9a-fA-F]{1,4}|[0-7]{1,3}|.)", rep, s)


def _value(t: int, data) -> tuple:
    """(type name, value): REG_SZ/EXPAND_SZ -> str, MULTI_SZ -> list, DWORD/QWORD -> int;
    raw bytes when ill-formed (string without final NUL or of odd size, 8-byte DWORD...)."""
    name = next((k for k, v in TYPES.items() if v == t), f"REG_0x{t:x}")
    if isinstance(data, str):
        return name, data.rstrip("\0").split("\0") if t == 7 else data
    if t in (1, 2, 7) and len(data) % 2 == 0 and data[-2:] == b"\0\0":
        return _value(t, data[:-2].decode("utf-16-le") + "\0" * (t == 7))
    return name, int.from_bytes(data, "little") if (t, len(data)) in ((4, 4), (11, 8)) else data


def parse_reg(text: str, key: str, hive: bool = False) -> dict | None:
    """Values of `key` ({name: (type name, value)}, None if absent) in a regedit export, or
    in wineserver's user.reg/system.reg (hive=True; key relative to the file's root)."""
    values, inside, found, lines = {}, False, False, iter(text.splitlines())
    for line in lines:
        line = line.strip()
        while line.endswith("\\") and re.search(r"=hex(\(\w+\))?:", line):
            line = line[:-1] + next(lines, "").strip()
        if line.startswith("[") and "]" in line:  # hive: [escaped path] time; regedit: [path]
            if hive:
                name = _unescape(re.match(r"\[((?:[^]\\]|\\.)*)", line)[1])
            else:
                name = line[1:line.rindex("]")]
            inside = name.lower() == key.lower()
            found |= inside
        elif inside and (v := re.match(r'(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)):
            name, data = "" if v[1] == "@" else _unescape(v[2]), v[3]
            if m := re.match(r'(?:str\((\w+)\):)?"(.*)"$', data):
                values[name] = _value(int(m[1] or "1", 16), _unescape(m[2]))
            elif m := re.match(r"dword:([0-9a-fA-F]{8})$", data):
                values[name] = ("REG_DWORD", int(m[1], 16))
            elif m := re.match(r"hex(?:\((\w+)\))?:(.*)$", data):
                values[name] = _value(int(m[1] or "3", 16), bytes.fromhex(m[2].replace(",", "")))
    return values if found else None


def _said(p: subprocess.CompletedProcess) -> str:
    """A Wine command's exit status and all it printed, for an error message."""
    return (f"exit {p.returncode}, stdout {p.stdout.decode(OEM, 'replace')!r}, "
            f"stderr {p.stderr.decode('utf-8', 'replace')!r}")


def _full_key(key: str) -> str:
    root, _, rest = key.partition("\\")
    return "\\".join([ROOTS.get(root.upper(), root.upper())] + [rest] * bool(rest))


def _encode(type_, value) -> tuple:
    """(type number, exact bytes, or None: delete) of a value as set_values takes it."""
    t = TYPES[type_] if isinstance(type_, str) else type_
    if value is None or isinstance(value, (bytes, bytearray)):
        return t, value if value is None else bytes(value)
    if t in (1, 2, 7):
        return t, ("\0".join([value] if t != 7 else list(value) + [""]) + "\0").encode("utf-16-le")
    if t in (4, 11):
        return t, (value % 2 ** (32 if t == 4 else 64)).to_bytes(4 if t == 4 else 8, "little")
    raise TypeError(f"give bytes for registry type {type_}")


def _escape(s: str, hive: bool) -> str:
    """Quote a name for a .reg file, or for wineserver's files (hive=True)."""
    if not hive:
        return s.replace("\\", "\\\\").replace('"', '\\"')
    return "".join("\\" + c if c in '\\"[]' else c if " " <= c < "\x7f" else f"\\x{ord(c):04x}"
                   for c in s)


def _reg_line(name: str, t: int, data, hive: bool = False) -> str:
    """A value line, the data always as hex(N): regedit then stores these exact bytes."""
    name = f'"{_escape(name, hive)}"' if name else "@"
    return f"{name}=-" if data is None else f"{name}=hex({t:x}):" + ",".join(f"{b:02x}" for b in data)


def _hive_only(t: int, data) -> bool:
    """String data regedit would change (it adds a final NUL where there is none)."""
    return t in (1, 2, 7) and data is not None and (len(data) % 2 or data[-2:] != b"\0\0")


def value_lines(key: str, values: dict) -> list[str]:
    """The .reg lines of WinePrefix.set_values(key, values), for an import_reg together with
    other lines; ValueError for string data without its final NUL, which only set_values
    can store."""
    lines = [f"[{_full_key(key)}]"]
    for name, (type_, value) in values.items():
        t, data = _encode(type_, value)
        if _hive_only(t, data):
            raise ValueError(f"only set_values can store {name!r} as given")
        lines.append(_reg_line(name, t, data))
    return lines


def deletion(key: str) -> str:
    """The .reg line that deletes a key and its subkeys (WinePrefix.delete_keys)."""
    return f"[-{_full_key(key)}]"


def tmp_lines(unix_dir=None, *, windows: str | None = None) -> list[str]:
    """The .reg lines of WinePrefix.set_tmp, for an import_reg together with other lines."""
    if unix_dir is None and windows is None:
        return [f"[{_full_key(k)}]\n" + '"TMP"=-' for k in (USER_ENV, SYSTEM_ENV)]
    return value_lines(USER_ENV, {"TMP": ("REG_SZ", windows if windows is not None else win_path(unix_dir))})


# ---------------------------------------------------------------- the prefix
@dataclass
class RunResult:
    """A run: exit code (low 8 bits), the command line handed to Wine, stdout (bytes) and
    stderr (text) of all it started, relay calls, the command lines of processes it
    started that still ran `settle` seconds after it (then killed), wall time."""
    code: int
    cmdline: str
    stdout: bytes = b""
    stderr: str = ""
    calls: list = field(default_factory=list)
    leftovers: list = field(default_factory=list)
    seconds: float = 0.0

    def called(self, name: str) -> list[Call]:
        """The calls of "dll.Func" or "Func" (case-insensitive)."""
        return [c for c in self.calls if name.lower() in (c.name.lower(), c.name.split(".")[1].lower())]


class WinePrefix:
    """A fresh WINEPREFIX of TARGET's architecture at `path` (wiped if it exists) with a
    persistent wineserver.

    It is a copy of a template made once per machine by `wineboot -i` (~6 s) and cached in
    $WINERUN_CACHE or ~/.cache/winerun.  Every file is copied, none linked: Wine may write
    any of them, and as root no read-only bit would keep it from writing the template's
    (a copy by reference, where the file system makes one, is still a copy).
    template=False runs wineboot instead.  Headless (no DISPLAY),
    LC_ALL=ru_RU.UTF-8 (ANSI code page 1251), WINEDEBUG=-all, no Mono/Gecko prompts, no
    winemenubuilder; the shell folders (Desktop, Documents...) are folders, not links to $HOME.
    """
    _runs = 0

    def __init__(self, path, *, template: bool = True, debug: str = "-all"):
        self.path, self.debug, self._server, self._relay = os.path.abspath(path), debug, None, set()
        self._services = False  # whether Wine's services run, started by a neutral command
        t0 = time.monotonic()
        if os.path.lexists(self.path):
            self._wineserver("-k")
            shutil.rmtree(self.path)
        if template:
            # Where the file system can, by reference (XFS in tools/vmrun.py's machine):
            # still a copy, which Wine may write without touching the template.
            os.makedirs(os.path.dirname(self.path), exist_ok=True)
            subprocess.run(["cp", "-a", "--reflink=auto", _template(self.env()), self.path], check=True)
            with contextlib.suppress(FileNotFoundError):
                os.remove(os.path.join(self.path, "wineserver"))  # Debian's socket folder name
        else:
            _boot(self.path, self.env())
        self.scratch = os.path.join(self.path, "winerun")  # the harness's own files
        os.makedirs(self.scratch)
        self.create_seconds = time.monotonic() - t0

    def env(self, extra: dict | None = None, debug: str | None = None) -> dict:
        """The Unix environment of Wine commands in this prefix, plus `extra`."""
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env.update(TARGET.env, WINEPREFIX=self.path, LC_ALL=LOCALE, LANG=LOCALE,
                   WINEDEBUG=debug or self.debug,
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        return dict(env, **(extra or {}))

    def _wineserver(self, *args):
        subprocess.run([TARGET.wineserver, *args], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=scaled(60))

    def start(self):
        """Start the persistent wineserver; idempotent.  Wine's services and desktop start
        (~0.9 s) with the first Wine command: one of wine()'s, whose environment is the
        prefix's own (a run starts them by a rundll32 first, never with its own variables)."""
        if not self._server:
            self._wineserver("-p")
            self._server = weakref.finalize(self, subprocess.run, [TARGET.wineserver, "-k"], env=self.env(),
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        """Stop the wineserver and all its processes; the server saves the registry."""
        self._wineserver("-k")
        self._wineserver("-w")
        if self._server:
            self._server.detach()
        self._server, self._services = None, False

    def close(self, remove: bool = False):
        """stop(), drop the server's socket folder, and delete the prefix if asked."""
        self.stop()
        _drop_socket_dir(self.path)
        if remove:
            shutil.rmtree(self.path, ignore_errors=True)

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.close()

    def program(self, name: str) -> str:
        """The file in the prefix of Wine's own program `name` ("cmd.exe"), found where
        Windows keeps it; `name` itself when it is a path or not found there."""
        if os.sep not in name:
            for folder in ("system32", ""):
                path = os.path.join(self.path, "drive_c", "windows", folder, name)
                if os.path.isfile(path):
                    return path
        return name

    def wine(self, *args, timeout: float = 60) -> subprocess.CompletedProcess:
        """Run `wine ARGS...` to its end (ARGS[0] through program()); stdout and stderr
        come back as bytes."""
        self.start()
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            p = subprocess.run([TARGET.wine, self.program(args[0]), *args[1:]], env=self.env(),
                               stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=scaled(timeout))
            self._services = True
            out.seek(0), err.seek(0)
            return subprocess.CompletedProcess(p.args, p.returncode, out.read(), err.read())

    def run(self, exe, args=(), *, cwd=None, relay=(), env: dict | None = None,
            timeout: float = 30, settle: float = 5) -> RunResult:
        """Run a Windows exe (a Unix path), and wait for it and for what it started.

        args, a list: Wine quotes them (see the module doc).  args, a str: the exact raw
        rest of the command line, which becomes '"Z:\\...\\x.exe" ' + args ('"Z:\\...\\x.exe"'
        if empty), passed by cmd /c; '%', line breaks and unquoted & | < > are refused.
        cwd: the Unix folder that becomes the current directory (default: Python's).
        relay: RelayInclude names ("user32.MessageBoxA"); their calls land in .calls.  The
        prefix traces every name asked for so far (one regedit for each new name, not for
        each change), the run's calls are those of its own names.
        env: extra Unix variables; Wine hands them on to the Windows environment.
        Processes the run started (found by a tag in their environment) get `settle`
        seconds after it exits, then are killed.  TimeoutError after `timeout` seconds.
        Both are scaled() here."""
        self.start()
        timeout, settle = scaled(timeout), scaled(settle)
        relay = [relay] if isinstance(relay, str) else list(relay)
        if lines := self.relay_lines(relay):
            self.import_reg(lines)
        if not self._services:
            self.wine("rundll32.exe")
        WinePrefix._runs += 1
        tag = f"{os.getpid()}-{WinePrefix._runs}"
        extra = dict(env or {}, WINERUN_TAG=tag)
        cmdline = f'"{win_path(exe)}"'
        if isinstance(args, str):
            if re.search(r"[%\r\n\0]", args) or re.search(r"[&|<>]", re.sub(r'"[^"]*("|$)', "", args)):
                raise ValueError(f"cmd /c cannot pass this command line unchanged: {args!r}")
            extra["WINERUN_CMDLINE"] = cmdline = cmdline + (" " + args if args else "")
            argv = [TARGET.wine, self.program("cmd.exe"), "/c", "%WINERUN_CMDLINE%"]
        else:
            argv = [TARGET.wine, os.path.abspath(exe), *map(str, args)]
            cmdline += " " + subprocess.list2cmdline(argv[2:]) if args else ""
        t0 = time.monotonic()
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            p = subprocess.Popen(argv, cwd=cwd, env=self.env(extra, "-all,+relay" if relay else None),
                                 stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            try:
                code = p.wait(timeout)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
                self._kill_tagged(tag)
                raise TimeoutError(f"{cmdline} still running after {timeout} s") from None
            deadline = time.monotonic() + settle
            while self._tagged(tag) and time.monotonic() < deadline:
                time.sleep(0.05)
            leftovers = self._kill_tagged(tag)
            out.seek(0), err.seek(0)
            stderr = err.read().decode("utf-8", "replace")
            calls = parse_relay(stderr, relay) if relay else []
            return RunResult(code & 0xFF, cmdline, out.read(), stderr, calls, leftovers, time.monotonic() - t0)

    def relay_lines(self, names) -> list[str]:
        """The .reg lines that let runs of this prefix trace `names` ("user32.MessageBoxA")
        too, [] when they already do: for an import_reg with other lines, before the runs
        that ask for them."""
        if set(names) <= self._relay:
            return []
        self._relay |= set(names)
        return value_lines(r"HKCU\Software\Wine\Debug", {"RelayInclude": ("REG_SZ", ";".join(sorted(self._relay)))})

    def _tagged(self, tag: str) -> dict:
        """pid -> command line of the live processes with this run's tag, Wine's own aside."""
        found, needle = {}, f"\0WINERUN_TAG={tag}\0".encode()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/environ", "rb") as f:  # a zombie's is empty
                    if needle not in b"\0" + f.read():
                        continue
                with open(f"/proc/{pid}/comm") as comm, open(f"/proc/{pid}/cmdline", "rb") as cmd:
                    if comm.read().strip().lower() not in SYSTEM_PROCS:
                        found[int(pid)] = cmd.read().replace(b"\0", b" ").decode(errors="replace").strip()
            except OSError:
                pass
        return found

    def _kill_tagged(self, tag: str) -> list:
        procs = self._tagged(tag)
        for pid in procs:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        return list(procs.values())

    # -- registry
    def import_reg(self, lines: list[str]):
        """Apply .reg lines ("[KEY]", "[-KEY]", '"name"=...') with one `regedit /S` (~0.1 s)."""
        path = os.path.join(self.scratch, "import.reg")
        with open(path, "w", encoding="utf-16", newline="\r\n") as f:  # UTF-16 LE with BOM
            f.write("Windows Registry Editor Version 5.00\n\n" + "\n".join(lines) + "\n")
        # Seen once on a loaded machine in a 64-bit prefix: regedit ending with 1 and
        # nothing said, and the same import then going through. One more try, and
        # the first failure said on stderr, so that a retry that helps is seen.
        failures = []
        for attempt in (1, 2):
            p = self.wine("regedit.exe", "/S", win_path(path))
            if not p.returncode and not p.stdout:  # it says nothing when all went in
                return
            failures.append(f"try {attempt}: {_said(p)}")
            if attempt == 1:
                print(f"winerun: regedit /S failed, trying again; {failures[0]}", file=sys.stderr, flush=True)
                time.sleep(0.5)
        raise RuntimeError(f"regedit /S {path} failed twice: " + "; ".join(failures))

    def set_values(self, key: str, values: dict):
        """Set values of one key, {name: (type, value)}: type "REG_SZ"... or a number; value a
        str, a list (MULTI_SZ), an int (DWORD/QWORD), exact bytes (any type: an 8-byte
        REG_DWORD...) or None (delete).  regedit adds a final NUL to string data that lacks
        one, so such data is appended to wineserver's file instead, with the server stopped."""
        raw, regular = [], {}
        for name, value in values.items():
            encoded = _encode(*value)
            if _hive_only(*encoded):
                raw.append(_reg_line(name, *encoded, hive=True))
            else:
                regular[name] = value
        if regular or not raw:
            self.import_reg(value_lines(key, regular))
        if raw:
            self.stop()
            path, rest = self._hive(key)
            with open(path, "a", encoding="ascii") as f:
                f.write(f"\n[{_escape(rest, True)}]\n" + "\n".join(raw) + "\n")

    def set_value(self, key: str, name: str, type_, value):
        """Set one value (see set_values); name "" is the key's default value."""
        self.set_values(key, {name: (type_, value)})

    def delete_value(self, key: str, name: str):
        self.set_values(key, {name: (0, None)})

    def delete_key(self, key: str):
        """Delete a key and its subkeys (nothing happens if there is none)."""
        self.delete_keys(key)

    def delete_keys(self, *keys: str):
        """delete_key of each, in one regedit."""
        self.import_reg([deletion(key) for key in keys])

    def read_key(self, key: str, exact: bool = False) -> dict | None:
        """{name: (type name, value)} of a key (see _value), or None if regedit answers that
        there is no such key; RuntimeError with all regedit said when it fails otherwise.

        By default `regedit /E` (~0.1 s), which misprints ill-formed data: any REG_DWORD
        as its first 4 bytes, a string without final NUL cut or "".  exact=True asks the
        harness's reader.exe (as quick), which gets the exact stored bytes from the
        registry calls (RegEnumValueW)."""
        if exact:
            return self.read_keys(key)[0]
        path, full = os.path.join(self.scratch, "export.reg"), _full_key(key)
        if os.path.exists(path):
            os.unlink(path)
        p = self.wine("regedit.exe", "/E", win_path(path), full)
        if not p.returncode and os.path.exists(path):
            with open(path, encoding="utf-16") as f:
                if (values := parse_reg(f.read(), full)) is not None:
                    return values
        elif not p.returncode and p.stdout.decode(OEM, "replace") == NO_KEY.format(full):
            return None
        # Not regedit's answer "no such key": a file it could not write, a root it
        # does not know, an export without the key... never taken for a missing key.
        raise RuntimeError(f"regedit /E {full} failed: {_said(p)}")

    def read_keys(self, *keys: str) -> list:
        """read_key(key, exact=True) of each key, in one Wine process (reader.exe)."""
        found = []
        for key, (error, values) in zip(keys, self.ask_reader(*(("key", _full_key(k)) for k in keys))):
            if error not in (0, 2):  # 2: ERROR_FILE_NOT_FOUND, no such key
                raise RuntimeError(f"reader.exe cannot open {key}: Windows error {error}")
            found.append(None if error else {
                bytes.fromhex(name).decode("utf-16-le"): _value(int(t), bytes.fromhex(data))
                for t, name, data in values})
        return found

    def read_files(self, *paths: str) -> list:
        """The bytes of each file (a Windows path) as a Windows program reads it, None
        where it does not open; one Wine process (reader.exe)."""
        return [None if error else bytes.fromhex(data[0][0])
                for error, data in self.ask_reader(*(("file", p) for p in paths))]

    def list_ansi(self, folder: str) -> dict:
        """{name: (8.3 name or "", attributes)} of a folder (a Windows path) as an ANSI
        program lists it (FindFirstFileA: names in the ANSI code page, best fit or '?');
        RuntimeError with the Windows error when it cannot be listed."""
        [(error, entries)] = self.ask_reader(("dir", folder))
        if error:
            raise RuntimeError(f"reader.exe cannot list {folder}: Windows error {error}")
        return {decode_ansi(bytes.fromhex(name)): (short, int(attributes, 16))
                for name, short, attributes in entries}

    def ask_reader(self, *requests: tuple) -> list:
        """reader.exe's answers to (what, argument) requests (see reader/reader.cpp), in one
        Wine process: [(Windows error, [the fields of each line after the answer's own])];
        the fields after the error of the answer's own line are the first "line"."""
        p = self.wine(helper("reader"), *(x for request in requests for x in request))
        answers = []
        for line in p.stdout.decode("ascii").splitlines():
            what, *fields = line.split("\t")
            if what in ("key", "file", "dir"):
                answers.append((int(fields[0]), [fields[1:]] if fields[1:] else []))
            elif answers:
                answers[-1][1].append(fields)
        if p.returncode or len(answers) != len(requests):
            raise RuntimeError(f"reader.exe answered {len(answers)} of {len(requests)} requests: {_said(p)}")
        return answers

    def _hive(self, key: str) -> tuple:
        """(wineserver's file holding key, the key's path in that file)."""
        root, _, rest = _full_key(key).partition("\\")
        if root == "HKEY_CLASSES_ROOT":
            root, rest = "HKEY_LOCAL_MACHINE", "Software\\Classes\\" + rest
        file = {"HKEY_CURRENT_USER": "user.reg", "HKEY_LOCAL_MACHINE": "system.reg"}[root]
        return os.path.join(self.path, file), rest

    # -- what the programs see
    def set_env(self, name: str, value: str | None, *, system: bool = False, type_="REG_SZ"):
        """Set (None: delete) a variable of the next programs, in HKCU\\Environment or,
        system=True, in the system Environment key."""
        self.set_value(SYSTEM_ENV if system else USER_ENV, name, type_, value)

    def set_tmp(self, unix_dir=None, *, windows: str | None = None):
        """TMP of the next programs: a Unix folder (as Z:\\...), a raw Windows string, or
        neither: no TMP at all (removed from both keys; GetTempPath then uses TEMP)."""
        self.import_reg(tmp_lines(unix_dir, windows=windows))

    def add_drive(self, letter: str, unix_dir, type_: str | None = None) -> str:
        """Make `letter`: a drive whose root is the Unix folder unix_dir, of Wine's drive type
        type_ ("cdrom", "floppy", "network", "hd"; None: Wine guesses); returns its root
        ("D:\\").  remove_drive takes it away."""
        letter = letter.lower().rstrip(":")
        os.symlink(os.path.abspath(os.fspath(unix_dir)), os.path.join(self.path, "dosdevices", letter + ":"))
        if type_:
            self.set_value(r"HKLM\Software\Wine\Drives", letter + ":", "REG_SZ", type_)
        return letter.upper() + ":\\"

    def remove_drive(self, letter: str):
        letter = letter.lower().rstrip(":")
        os.unlink(os.path.join(self.path, "dosdevices", letter + ":"))
        self.delete_value(r"HKLM\Software\Wine\Drives", letter + ":")

    def register_open_command(self, ext: str, command: str):
        """Let the shell's "open" of *ext (".asx") run `command`, a Windows command line with
        %1 for the file, e.g. '"Z:\\\\x\\\\rec.exe" "%1"'.  A Unix program or #! script works
        too: Wine starts it with the Windows arguments."""
        progid = "winerun" + ext.replace(".", "_")
        self.import_reg([f"[HKEY_CLASSES_ROOT\\{ext}]", _reg_line("", *_encode(1, progid)),
                         f"[HKEY_CLASSES_ROOT\\{progid}\\shell\\open\\command]",
                         _reg_line("", *_encode(1, command))])

    def record_opens(self, ext: str, log):
        """Let the shell's "open" of *ext append a JSON line to the Unix file `log`:
        {"argv": [Windows arguments], "data": hex of the opened file at that time, or null}."""
        script = os.path.join(self.scratch, f"open{ext.replace('.', '_')}.py")
        with open(script, "w") as f:
            f.write(_RECORDER.replace("PYTHON", sys.executable, 1).replace("LOG", repr(os.fspath(log))))
        os.chmod(script, 0o755)
        self.register_open_command(ext, f'"{win_path(script)}" "%1"')


_RECORDER = r'''#!PYTHON
import json, os, sys
arg = (sys.argv + [""])[1]
path = arg[2:].replace("\\", "/") if arg[:2].upper() == "Z:" else None
data = open(path, "rb").read().hex() if path and os.path.isfile(path) else None
with open(LOG, "a") as f:
    f.write(json.dumps({"argv": sys.argv[1:], "data": data}) + "\n")
'''


# ---------------------------------------------------------------- prefix creation
def _drop_socket_dir(prefix: str):
    """Debian's Wine keeps the server socket in /tmp/wine-XXXXXX, named in PREFIX/wineserver."""
    try:
        with open(os.path.join(prefix, "wineserver")) as f:
            name = f.read().strip()
        if re.fullmatch(r"wine-\w+", name):
            shutil.rmtree(os.path.join(tempfile.gettempdir(), name), ignore_errors=True)
    except OSError:
        pass


def _boot(path: str, env: dict):
    """`wineboot -i` into path; stop the server (the registry is then on disk)."""
    run = dict(env=dict(env, WINEPREFIX=path), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
               stderr=subprocess.DEVNULL, timeout=scaled(300))
    subprocess.run([TARGET.wine, "wineboot", "-i"], check=True, **run)
    subprocess.run([TARGET.wineserver, "-k"], **run)
    subprocess.run([TARGET.wineserver, "-w"], **run)
    _drop_socket_dir(path)
    for root, dirs, _ in os.walk(os.path.join(path, "drive_c", "users")):
        for d in (os.path.join(root, d) for d in dirs if os.path.islink(os.path.join(root, d))):
            os.unlink(d)  # a link to $HOME
            os.mkdir(d)


def _template(env: dict) -> str:
    """The cached template prefix of this Wine, architecture, locale and user; built once,
    under a lock."""
    ver = subprocess.run([TARGET.wine, "--version"], capture_output=True, text=True, env=env).stdout
    inf = "/usr/share/wine/wine.inf"  # its time stamp decides whether Wine updates a prefix
    stamp = f"{ver}|{os.path.exists(inf) and os.stat(inf).st_mtime_ns}|{LOCALE}|{os.getuid()}|{TARGET.arch}|2"
    cache = os.environ.get("WINERUN_CACHE") or os.path.expanduser("~/.cache/winerun")
    os.makedirs(cache, exist_ok=True)
    tpl = os.path.join(cache, "prefix-" + hashlib.sha1(stamp.encode()).hexdigest()[:12])
    with open(os.path.join(cache, "lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.isdir(tpl):
            shutil.rmtree(tpl + ".new", ignore_errors=True)
            _boot(tpl + ".new", env)
            os.rename(tpl + ".new", tpl)
    return tpl
