"""Running tools/vmrun.py's emulated machine: start, exec, the heartbeat, the guard, stop.

A machine is kept in a session folder (Machine), so that one boot serves many commands
from one process or several; what it boots is tools/vmimage.py's.  Only the folders
given as shares are mounted writable, at their own paths, and files made there get the
host's owner and plain modes (9p's mapped-xattr: a setuid bit or a device node made by
guest root stays an attribute, never takes effect on the host).  The guest has no
network device.  A command runs in the caller's folder with those of the caller's
variables that the tests need (ENV_NAMES, ENV_PREFIXES: no secrets), plus REELSTART_VM
(why it runs there: tools/winearch.py then says so, and answers that the shipped 32-bit
exe runs natively) and REELSTART_TIME_FACTOR (how much slower than a native run to
allow).  Commands sent at once run at once, each in a process group of its own.

The machine lives no longer than its owner (the process that asked for it; starter()
when that is a command line): a guard process powers it off when the owner ends, and
leaves in the folder why, which the next command says.
"""
from __future__ import annotations

import contextlib, os, pathlib, re, shlex, shutil, signal, subprocess, sys, time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import vmimage, winearch  # noqa: E402

MACHINE_FAILED, TIMED_OUT, REFUSED = 125, 124, 2
# TCG translates every guest instruction: what takes a second natively may take several.
TIME_FACTOR = 6
MEMORY_MB = 2048  # the two heaviest modules at once were seen to use under 450 MB; the rest caches files
HEARTBEAT = vmimage.HEARTBEAT  # the guest touches job/heartbeat this often (seconds)...
STALE = 60        # ...and is taken for stopped after this long without
MARK = ".vmrun-session"
ENDED = "ended"  # what the guard leaves in the folder of a machine it powered off: why
# Lines of the console that mean the guest's kernel went wrong.  Not its lockup
# watchdogs ("BUG: soft lockup", RCU stalls): a host busy elsewhere starves the vCPUs
# for a while, and the guest runs with nowatchdog anyway.
KERNEL_TROUBLE = re.compile(r"Kernel panic|Oops:|general protection fault|BUG: unable to handle|"
                            r"kernel BUG at|Unable to mount root")
# What a command in the guest is given of the caller's environment.
ENV_NAMES = {"PATH", "HOME", "USER", "LOGNAME", "LANG", "LANGUAGE", "TZ", "TERM", "CI",
             "SOURCE_DATE_EPOCH", "PYTHONPATH", "PYTHONDONTWRITEBYTECODE"}
ENV_PREFIXES = ("LC_", "REELSTART_", "E2E_", "WINE")


def _why() -> str:
    """Why commands run in the machine, for the reports made inside it."""
    t = winearch.target()
    return t.why if t.how == "vm" else "tools/vmrun.py was asked to run it there"


def guest_env(env: dict) -> dict:
    """What a command in the guest gets of `env`: the variables the tests need, no others."""
    return {k: v for k, v in env.items()
            if (k in ENV_NAMES or k.startswith(ENV_PREFIXES)) and re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", k)}


def _job_script(argv: list[str], cwd: str, env: dict) -> str:
    lines = [f"export {k}={shlex.quote(v)}" for k, v in guest_env(env).items()]
    return "\n".join(lines + [f"cd {shlex.quote(cwd)} || exit 125", "exec " + shlex.join(argv), ""])


def proc_stat(pid: int) -> list[str]:
    """The fields of /proc/pid/stat after the name (state, parent, ...), or [] when there
    is no such process, or only its zombie."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rpartition(")")[2].split()
        return [] if fields[0] == "Z" else fields
    except (OSError, IndexError):
        return []


def _process_start(pid: int) -> str | None:
    """The start time of process pid (to tell it from a later one with its number), or
    None when there is no such process, or only its zombie."""
    fields = proc_stat(pid)
    return fields[19] if len(fields) > 19 else None


_DETACHED: list = []  # QEMU and the guard outlive the call that starts them


def _detach(argv: list[str], stderr) -> int:
    """Start argv in a session of its own, not waited for here; its pid."""
    p = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=stderr,
                         start_new_session=True)
    _DETACHED.append(p)
    return p.pid


class MachineFailed(Exception):
    """The emulated machine, not the command, failed; the text says how."""


class Refused(Exception):
    """The runner will not use or remove this session folder; the text says why."""


class Machine:
    """An emulated machine kept in the folder `session`, so that one boot serves many
    commands, from one process or several (start, exec..., stop).  The folder, made and
    marked by start(), holds the scratch disk, the console log, QEMU's and the guard's
    pids and the job share the guest reads its commands from."""

    def __init__(self, session, stale: float = STALE):
        self.dir = pathlib.Path(os.path.abspath(session))
        self.jobs = self.dir / "job"
        self.stale = stale

    # -- the folder
    def _claim(self):
        """Make the session folder, ours: Refused if it exists and is not ours, or a
        machine still runs there."""
        if os.path.lexists(self.dir):
            if not self._ours():
                raise Refused(f"{self.dir} exists and was not made by vmrun.py (no {MARK} in it): "
                              "give a folder that does not exist yet")
            if self.running():
                raise Refused(f"a machine already runs in {self.dir}: wait for it, or "
                              f"'vmrun.py stop {self.dir}' first")
            self._remove()  # a machine that ended without its stop
        self.dir.mkdir(parents=True)  # exclusive: a second start at once fails here
        (self.dir / MARK).write_text(f"made by tools/vmrun.py, process {os.getpid()}\n")

    def _ours(self) -> bool:
        return self.dir.is_dir() and not self.dir.is_symlink() and (self.dir / MARK).is_file()

    def _remove(self):
        """Delete the session folder, which must be ours (checked here, not assumed)."""
        if not self._ours():
            raise Refused(f"{self.dir} was not made by vmrun.py (no {MARK} in it): left as it is")
        self._signal("guard.pid", signal.SIGTERM)
        shutil.rmtree(self.dir, ignore_errors=True)

    def _pid(self, name: str) -> int | None:
        """The live process whose pid and start time the file `name` holds, or None."""
        try:
            pid, started = (self.dir / name).read_text().split()
            return int(pid) if _process_start(int(pid)) == started else None
        except (OSError, ValueError):
            return None

    def _signal(self, name: str, sig) -> bool:
        pid = self._pid(name)
        if pid:
            with contextlib.suppress(OSError):
                os.kill(pid, sig)
        return bool(pid)

    def _record(self, name: str, pid: int):
        (self.dir / name).write_text(f"{pid} {_process_start(pid)}\n")

    # -- the machine
    def start(self, shares=(), boot_timeout: float = 180, hang: bool = False, *,
              owner: int | None = None, prepare: str | None = None, depends=(), out=None):
        """Boot the machine and wait until it takes commands; it is powered off when the
        process `owner` (default: this one) ends.  With `prepare`, on the prepared disk
        (made first if it is not cached; its output goes to `out`).  Refused for a folder
        that is not the runner's; MachineFailed if QEMU does not start or the guest is not
        up within boot_timeout seconds (then stopped)."""
        owner = owner or os.getpid()
        base = None
        if prepare:
            base = self._prepared(prepare, depends, boot_timeout, owner, out or sys.stderr.buffer)
        self._claim()
        self._boot(shares, boot_timeout, hang, owner, base)

    def _boot(self, shares, boot_timeout, hang, owner, base):
        vmlinuz, version = vmimage.kernel()
        initrd = vmimage.initramfs(version)
        self.jobs.mkdir()
        shares = [os.path.realpath(s) for s in shares]
        (self.jobs / "shares").write_text("".join(f"s{i} {p}\n" for i, p in enumerate(shares)))
        disk, fmt = vmimage.scratch_disk(self.dir, base)
        cmd = ["qemu-system-x86_64", "-accel", "tcg,thread=multi", "-cpu", "qemu64",
               "-smp", str(os.cpu_count() or 2), "-m", str(MEMORY_MB), "-display", "none",
               "-no-reboot", "-nic", "none", "-monitor", "none",
               "-serial", f"file:{self.dir / 'console.log'}", "-kernel", str(vmlinuz), "-initrd", str(initrd),
               "-append", "console=ttyS0 quiet panic=-1 nowatchdog" + (" reelstart.hang" if hang else ""),
               "-drive", f"file={disk},if=virtio,format={fmt},cache=unsafe"]
        # The host's tree read-only as it is; the job folder and the shares writable, with
        # what the guest says of owners and modes kept in attributes, never applied.
        for tag, path, ro in [("job", self.jobs, False), ("host", "/", True)] + [
                (f"s{i}", p, False) for i, p in enumerate(shares)]:
            model = "none,readonly=on" if ro else "mapped-xattr"
            cmd += ["-fsdev", f"local,id={tag},path={path},security_model={model},multidevs=remap",
                    "-device", f"virtio-9p-pci,fsdev={tag},mount_tag={tag}"]
        try:
            with open(self.dir / "qemu.err", "wb") as err:
                self._record("qemu.pid", _detach(cmd, err))
        except OSError as e:
            raise MachineFailed(f"QEMU does not start ({e})") from None
        self._record("guard.pid", _detach([sys.executable, os.path.abspath(__file__), "guard", str(self.dir),
                                           str(owner), _process_start(owner) or "gone"], subprocess.DEVNULL))
        deadline = time.monotonic() + boot_timeout
        while not (self.jobs / "ready").exists():
            if not self.running():
                self._fail("QEMU ended before the guest was up")
            if time.monotonic() > deadline:
                self._fail(f"the guest did not come up within {boot_timeout:g} s")
            time.sleep(0.2)

    def _prepared(self, prepare: str, depends, boot_timeout, owner, out) -> pathlib.Path:
        """The cached disk `prepare` leaves in a fresh machine, made now if need be."""
        def fresh() -> Machine:
            maker = Machine(self.dir.with_name(self.dir.name + ".prepare"), self.stale)
            if maker._ours():
                maker.stop(wait=0)
            maker._claim()
            maker._boot((), boot_timeout, False, owner, None)
            return maker
        return vmimage.prepared(prepare, depends, fresh, out)

    def exec(self, argv: list[str], *, cwd: str | None = None, env: dict | None = None,
             timeout: float = 3600, out=None) -> int:
        """Run argv in the guest, in cwd with env (default: this process's; see guest_env),
        copying its output (stdout and stderr together) to `out` as it comes.  Returns its
        exit status, or TIMED_OUT after timeout seconds (the job is then killed).
        MachineFailed, the machine then stopped, if QEMU ends, the guest stops answering or
        its kernel reports trouble."""
        out = out or sys.stdout.buffer
        env = dict(os.environ if env is None else env)
        env.setdefault("REELSTART_VM", _why())
        env["REELSTART_TIME_FACTOR"] = str(TIME_FACTOR)
        script = _job_script(argv, os.path.realpath(cwd or os.getcwd()), env)
        n = 0
        while True:  # the next number no other caller has claimed
            try:
                os.close(os.open(self.jobs / f"{n}.claim", os.O_CREAT | os.O_EXCL))
                break
            except FileExistsError:
                n += 1
        (self.jobs / f"{n}.new").write_text(script)
        os.rename(self.jobs / f"{n}.new", self.jobs / f"{n}.sh")
        output, status, sent = self.jobs / f"{n}.out", self.jobs / f"{n}.status", 0
        deadline, checked, console = time.monotonic() + timeout, 0.0, -1
        while True:
            done = status.exists()
            if output.exists():
                with open(output, "rb") as f:
                    f.seek(sent)
                    data = f.read()
                out.write(data), out.flush()
                sent += len(data)
            if done:
                break
            now = time.monotonic()
            if now - checked > HEARTBEAT:
                console, checked = self._check(console), now
            if now > deadline:
                (self.jobs / f"{n}.kill").touch()
                print(f"vmrun: the command ran past its limit of {timeout:g} s and was stopped",
                      file=sys.stderr)
                return TIMED_OUT
            time.sleep(0.2)
        self._check(-1)
        return int(status.read_text())

    def _check(self, console_seen: int) -> float:
        """MachineFailed if QEMU has ended, the guest has not touched its heartbeat for
        `stale` seconds, or (when the console grew past console_seen bytes) its kernel
        reported trouble.  Returns the console's size, for the next call."""
        if not self.running():
            self._fail(self.ended() or "QEMU ended while the command ran")
        try:
            silent = time.time() - (self.jobs / "heartbeat").stat().st_mtime
        except OSError:
            silent = 0.0  # not written yet: the guest is still coming up
        if silent > self.stale:
            self._fail(f"the emulated machine stopped answering (no heartbeat for {silent:.0f} s)")
        size = (self.dir / "console.log").stat().st_size if (self.dir / "console.log").exists() else 0
        if size != console_seen and any(KERNEL_TROUBLE.search(l) for l in self.console().splitlines()):
            self._fail("the guest kernel reported trouble")
        return size

    def running(self) -> bool:
        return self._pid("qemu.pid") is not None

    def ended(self) -> str:
        """Why the guard powered the machine off, or "" when it did not."""
        with contextlib.suppress(OSError):
            return (self.dir / ENDED).read_text().strip()
        return ""

    def poweroff(self, wait: float):
        """Ask the guest to power off; kill QEMU after `wait` seconds."""
        if self.running():
            (self.jobs / "stop").touch()
            deadline = time.monotonic() + wait
            while self.running() and time.monotonic() < deadline:
                time.sleep(0.2)
            self._signal("qemu.pid", signal.SIGKILL)

    def stop(self, wait: float = 30):
        """Power the guest off (killed after `wait` seconds) and remove the session
        folder; Refused, touching nothing, if the folder is not the runner's."""
        if not os.path.lexists(self.dir):
            return
        if not self._ours():
            raise Refused(f"{self.dir} was not made by vmrun.py (no {MARK} in it): left as it is")
        self.poweroff(wait)
        self._remove()

    def console(self) -> str:
        return "\n".join(p.read_text(errors="replace") for p in
                         (self.dir / "console.log", self.dir / "qemu.err") if p.exists())

    def _fail(self, why: str):
        tail = "\n".join(self.console().splitlines()[-30:])
        if self._ours():
            self.stop(wait=0)
        raise MachineFailed(why + (f"\n{tail}" if tail else ""))


def guard(session: str, owner: int, started: str):
    """Kill the machine in `session` when the process `owner` (started at `started`) has
    ended without stopping it: an interrupted ctest, a killed run, the shell that started
    it closed.  Leaves the folder with its mark and the reason alone (the machine's next
    command says it; start and stop remove them).  Ends with the machine."""
    machine, name = Machine(session), ""
    with contextlib.suppress(OSError):
        name = f" ({pathlib.Path(f'/proc/{owner}/comm').read_text().strip()})"
    while machine.running():
        if _process_start(owner) != started:
            with contextlib.suppress(OSError):
                (machine.dir / "guard.pid").unlink()  # not this process's own signal, then
            with contextlib.suppress(OSError):  # said before QEMU ends: an exec that sees it end reads it
                (machine.dir / ENDED).write_text(f"the machine in {machine.dir} was powered off: "
                                                 f"its starter, pid {owner}{name}, ended\n")
            machine._signal("qemu.pid", signal.SIGKILL)
            with contextlib.suppress(OSError):  # the folder may go meanwhile: an exec's own stop
                for entry in machine.dir.iterdir() if machine._ours() else ():
                    if entry.is_dir() and entry.name not in (MARK, ENDED):
                        shutil.rmtree(entry, ignore_errors=True)
                    elif entry.name not in (MARK, ENDED):
                        entry.unlink(missing_ok=True)
            return
        time.sleep(1)


if __name__ == "__main__" and sys.argv[1:2] == ["guard"]:  # started by Machine._boot()
    guard(sys.argv[2], int(sys.argv[3]), sys.argv[4])
