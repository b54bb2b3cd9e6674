#!/usr/bin/env python3
"""Run commands in an emulated x86-64 machine whose kernel runs 32-bit code.

Some kernels have 32-bit emulation switched off: no i386 program starts there, wine32
included, and neither Wine's WoW64 mode nor qemu's user-mode emulation gets past that.
A whole emulated machine does: QEMU (TCG, which needs no KVM; nested KVM was seen to
hang the guest, so none is used) boots Debian's own kernel (linux-image-amd64, with
CONFIG_IA32_EMULATION=y), and there wine32 runs the shipped 32-bit Reelstart.exe.  The
guest proves at boot that it starts a 32-bit program, or the machine fails.

The guest sees the host's whole file tree read-only (virtio-9p of /) under an overlay
whose writable layer is an XFS disk thrown away at the end (tmpfs would keep no user.*
xattrs, where Wine stores DOS attributes).  /tmp too is the host's under that overlay, not
a fresh one: a checkout under the host's /tmp must be seen where it is.  The same disk, as
a file system apart from the overlay, is /run/reelstart-scratch: for work a run throws
away (Wine gives its drives there a volume serial of their own).  XFS because it copies a
file by reference (cp --reflink): a Wine prefix of 600 MB is copied from its template in
a moment, where writing it out takes many seconds.

Only the folders given with --share are mounted writable, at their own paths, and files
made there get the host's owner and plain modes (9p's mapped-xattr: a setuid bit or a
device node made by guest root stays an attribute, never takes effect on the host).  The
guest has no network device.  A command runs in the caller's folder with those of the
caller's variables that the tests need (ENV_NAMES, ENV_PREFIXES: no secrets), plus
REELSTART_VM (why it runs there: tools/winearch.py then says so, and answers that the
shipped 32-bit exe runs natively) and REELSTART_TIME_FACTOR (how much slower than a
native run to allow).  Commands sent at once run at once, each in a process group of
its own.

    vmrun.py run [--share DIR]... [--timeout S] [--boot-timeout S] -- COMMAND [ARG]...

or, to boot once for many commands (the end-to-end tests: one machine for all modules):

    vmrun.py start SESSION [--share DIR]... [--prepare SHELL-COMMAND [--depends FILE]...]
    vmrun.py exec SESSION [--timeout S] -- COMMAND [ARG]...
    vmrun.py stop SESSION

SESSION is a folder the runner makes and marks as its own: `start` refuses one that
exists without its mark, or where a machine still runs; `stop` removes only a marked
one.  The machine lives no longer than the process that started it (the caller of
`start`, such as ctest; `run` itself): a guard process powers it off when that goes.

--prepare keeps work across boots: the first `start` runs SHELL-COMMAND in a machine of
its own and keeps the disk it leaves (in the cache, keyed by the command, the --depends
files, the kernel and the installed packages); every later one boots on a throwaway
overlay of that disk.  The end-to-end tests make their Wine prefix template so.

Exit status: the command's own; 124 when it ran past --timeout (then killed, the machine
goes on); 125 with "vmrun: the emulated machine failed: ..." and the console's tail on
stderr when the machine itself failed: QEMU would not start or ended, the guest did not
come up within --boot-timeout, stopped answering (no heartbeat for STALE seconds: a
frozen or starved guest), or its kernel oopsed or panicked; 2 when the runner refused a
session folder.  The initramfs and the prepared disks are cached in $REELSTART_VM_CACHE
or ~/.cache/reelstart-vm.
"""
from __future__ import annotations

import argparse, contextlib, fcntl, gzip, hashlib, io, os, pathlib, re, shlex, shutil, signal, subprocess, sys, tempfile, time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import winearch  # noqa: E402

CACHE = pathlib.Path(os.environ.get("REELSTART_VM_CACHE") or "~/.cache/reelstart-vm").expanduser()
BUSYBOX = "/bin/busybox"  # busybox-static: the initramfs has no libraries
# Loaded in this order, each after what modules.dep says it needs.
MODULES = ["virtio_pci", "9pnet_virtio", "9p", "overlay", "virtio_blk", "crc32c_generic", "xfs",
           "fuse"]
MACHINE_FAILED, TIMED_OUT, REFUSED = 125, 124, 2
# TCG translates every guest instruction: what takes a second natively may take several.
TIME_FACTOR = 6
MEMORY_MB = 2048  # the two heaviest modules at once were seen to use under 450 MB; the rest caches files
HEARTBEAT = 2     # the guest touches job/heartbeat this often (seconds)...
STALE = 60        # ...and is taken for stopped after this long without
MARK = ".vmrun-session"
# Lines of the console that mean the guest's kernel went wrong.  Not its lockup
# watchdogs ("BUG: soft lockup", RCU stalls): a host busy elsewhere starves the vCPUs
# for a while, and the guest runs with nowatchdog anyway.
KERNEL_TROUBLE = re.compile(r"Kernel panic|Oops:|general protection fault|BUG: unable to handle|"
                            r"kernel BUG at|Unable to mount root")
# What a command in the guest is given of the caller's environment.
ENV_NAMES = {"PATH", "HOME", "USER", "LOGNAME", "LANG", "LANGUAGE", "TZ", "TERM", "CI",
             "SOURCE_DATE_EPOCH", "PYTHONPATH", "PYTHONDONTWRITEBYTECODE"}
ENV_PREFIXES = ("LC_", "REELSTART_", "E2E_", "WINE")

# The guest's first process: proves it runs 32-bit code, mounts the host's tree under an
# overlay and the writable shares at their own paths, then runs each job as it comes and
# writes its exit status back, touching job/heartbeat meanwhile.
INIT = r"""#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
fail() { echo "reelstart-vm: $*" > /dev/ttyS0; poweroff -f; }
/bin/exit32 || fail "this kernel runs no 32-bit program"
for m in $(cat /modules); do insmod /lib/$m.ko || fail "insmod $m"; done
hostname localhost; ifconfig lo 127.0.0.1 up  # no network, but a loopback Wine may talk over
grep -q reelstart.hang /proc/cmdline && while :; do sleep 3600; done  # for the runner's own test
p9=trans=virtio,version=9p2000.L,msize=262144
mkdir -p /job /host /rw /root
mount -t 9p -o $p9 job /job || fail "no job share"
mount -t 9p -o $p9,ro,cache=loose host /host || fail "no host share"
mount -t xfs /dev/vda /rw || fail "no scratch disk"
mkdir -p /rw/upper /rw/work /rw/scratch
mount -t overlay overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work /root || fail overlay
mount -t proc proc /root/proc; mount -t sysfs sys /root/sys; mount -t devtmpfs dev /root/dev
mkdir -p /root/dev/pts /root/dev/shm
mount -t devpts devpts /root/dev/pts; mount -t tmpfs shm /root/dev/shm
ln -sf /proc/self/fd /root/dev/fd; ln -sf fd/0 /root/dev/stdin
ln -sf fd/1 /root/dev/stdout; ln -sf fd/2 /root/dev/stderr
while read tag path; do
  mkdir -p "/root$path" && mount -t 9p -o $p9 "$tag" "/root$path" || fail "share $path"
done < /job/shares
mkdir -p /root/run/reelstart-job; mount --bind /job /root/run/reelstart-job
mkdir -p /root/run/reelstart-scratch; mount --bind /rw/scratch /root/run/reelstart-scratch
(while :; do touch /job/heartbeat; sleep HEARTBEAT; done) &
echo up > /job/ready
# Job N in a process group of its own, so that a job the host gives up on (N.kill) is
# ended with all it started.
job() {
  chroot /root /usr/bin/setsid -w /bin/sh /run/reelstart-job/$1.sh < /dev/null > /job/$1.out 2>&1 &
  pid=$!
  while kill -0 $pid 2>/dev/null; do
    [ -e /job/$1.kill ] && kill -9 -$pid $pid 2>/dev/null
    sleep 0.2
  done
  wait $pid; echo $? > /job/$1.status.new; mv /job/$1.status.new /job/$1.status
}
n=0
while [ ! -e /job/stop ]; do
  if [ -e /job/$n.sh ]; then job $n & n=$((n + 1)); else sleep 0.2; fi
done
sync; poweroff -f
""".replace("HEARTBEAT", str(HEARTBEAT))


def _version_key(version: str) -> list:
    """6.1.0-18-amd64 after 6.1.0-9-amd64: numbers compared as numbers."""
    return [(0, int(p), "") if p.isdigit() else (1, 0, p) for p in re.split(r"(\d+)", version) if p]


def kernel() -> tuple[pathlib.Path, str]:
    """The newest Debian kernel in /boot whose modules are installed, and its version."""
    found = sorted(pathlib.Path("/boot").glob("vmlinuz-*"),
                   key=lambda p: _version_key(p.name.removeprefix("vmlinuz-")), reverse=True)
    for vmlinuz in found:
        version = vmlinuz.name.removeprefix("vmlinuz-")
        if (pathlib.Path("/lib/modules") / version / "modules.dep").exists():
            return vmlinuz, version
    raise RuntimeError("no kernel in /boot with its modules (Debian package linux-image-amd64)")


def _load_order(version: str) -> list[pathlib.Path]:
    """MODULES and what they need, each after its dependencies."""
    base = pathlib.Path("/lib/modules") / version
    deps = {}
    for line in (base / "modules.dep").read_text().splitlines():
        mod, _, needs = line.partition(":")
        deps[pathlib.Path(mod).name.split(".ko")[0].replace("-", "_")] = (mod, needs.split())
    order: list[pathlib.Path] = []

    def add(name: str):
        if name not in deps:
            raise RuntimeError(f"kernel {version} has no module {name}")
        mod, needs = deps[name]
        for need in reversed(needs):  # modules.dep lists the deepest dependency last
            add(pathlib.Path(need).name.split(".ko")[0].replace("-", "_"))
        if base / mod not in order:
            order.append(base / mod)
    for name in MODULES:
        add(name)
    return order


def _cpio(entries: list[tuple[str, int, bytes]]) -> bytes:
    """A newc cpio archive of (name, mode, data); a symlink's data is its target."""
    out = io.BytesIO()
    for ino, (name, mode, data) in enumerate(entries + [("TRAILER!!!", 0, b"")], 1):
        nameb = name.encode() + b"\0"
        fields = (ino, mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(nameb), 0)
        out.write(b"070701" + b"".join(b"%08X" % f for f in fields) + nameb)
        out.write(b"\0" * (-(110 + len(nameb)) % 4) + data + b"\0" * (-len(data) % 4))
    return out.getvalue()


def initramfs(version: str) -> pathlib.Path:
    """The guest's initramfs for this kernel, built once and cached."""
    modules = _load_order(version)
    busybox = pathlib.Path(BUSYBOX).read_bytes()
    exit32 = winearch.i386_exit_elf()
    stamp = hashlib.sha1(INIT.encode() + busybox + exit32 + version.encode()
                         + "|".join(map(str, modules)).encode()).hexdigest()[:12]
    path = CACHE / f"initrd-{version}-{stamp}.img"
    if path.exists():
        return path
    names = [m.name.split(".ko")[0] for m in modules]
    entries = [(d, 0o40755, b"") for d in ("bin", "dev", "proc", "sys", "lib")]
    entries += [("bin/busybox", 0o100755, busybox), ("bin/exit32", 0o100755, exit32),
                ("init", 0o100755, INIT.encode()),
                ("modules", 0o100644, "\n".join(names).encode() + b"\n")]
    entries += [(f"lib/{n}.ko", 0o100644, m.read_bytes()) for n, m in zip(names, modules)]
    CACHE.mkdir(parents=True, exist_ok=True)
    tmp = path.with_suffix(f".{os.getpid()}")
    tmp.write_bytes(gzip.compress(_cpio(entries), 1))
    tmp.rename(path)
    return path


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


def _process_start(pid: int) -> str | None:
    """The start time of process pid (to tell it from a later one with its number), or
    None when there is no such process, or only its zombie."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rpartition(")")[2].split()
        return None if fields[0] == "Z" else fields[19]
    except (OSError, IndexError):
        return None


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
        vmlinuz, version = kernel()
        initrd = initramfs(version)
        self.jobs.mkdir()
        shares = [os.path.realpath(s) for s in shares]
        (self.jobs / "shares").write_text("".join(f"s{i} {p}\n" for i, p in enumerate(shares)))
        if base:  # the prepared disk stays as it is: the guest writes to an overlay of it
            disk, fmt = self.dir / "scratch.qcow2", "qcow2"
            subprocess.run(["qemu-img", "create", "-q", "-f", "qcow2", "-b", str(base), "-F", "raw",
                            str(disk)], check=True, stdout=subprocess.DEVNULL)
        else:
            disk, fmt = self.dir / "scratch.xfs", "raw"
            with open(disk, "wb") as f:
                f.truncate(32 << 30)  # sparse: only what the guest writes takes space
            subprocess.run(["mkfs.xfs", "-q", "-f", "-m", "reflink=1", str(disk)], check=True,
                           stdout=subprocess.DEVNULL)
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
        vmlinuz, version = kernel()
        key = hashlib.sha1("|".join([prepare, version, initramfs(version).name]).encode())
        for path in [*depends, "/var/lib/dpkg/status"]:  # what it made may change with these
            st = os.stat(path)
            key.update(f"|{os.path.realpath(path)}|{st.st_size}|{st.st_mtime_ns}".encode())
            if path in depends:
                key.update(pathlib.Path(path).read_bytes())
        base = CACHE / f"prepared-{key.hexdigest()[:16]}.xfs"
        CACHE.mkdir(parents=True, exist_ok=True)
        with open(CACHE / "prepared.lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if base.exists():
                return base
            maker = Machine(self.dir.with_name(self.dir.name + ".prepare"), self.stale)
            if maker._ours():
                maker.stop(wait=0)
            maker._claim()
            try:
                maker._boot((), boot_timeout, False, owner, None)
                out.write(f"vmrun: preparing the machine's disk (once): {prepare}\n".encode()), out.flush()
                code = maker.exec(["sh", "-c", prepare], timeout=3600, out=out)
                if code:
                    raise MachineFailed(f"preparing the disk failed (exit status {code}): {prepare}")
                maker._poweroff(wait=120)
                if maker.running():
                    raise MachineFailed("the machine that prepared the disk did not power off")
                tmp = base.with_suffix(f".{os.getpid()}")
                subprocess.run(["cp", "--sparse=always", str(maker.dir / "scratch.xfs"), str(tmp)], check=True)
                tmp.rename(base)
            finally:
                if maker._ours():
                    maker.stop(wait=0)
            for old in CACHE.glob("prepared-*.xfs"):  # made for other packages or sources
                if old != base:
                    old.unlink()
        return base

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
            self._fail("QEMU ended while the command ran")
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

    def _poweroff(self, wait: float):
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
        self._poweroff(wait)
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
    ended without stopping it: an interrupted ctest, a killed run.  Ends with the machine."""
    machine = Machine(session)
    while machine.running():
        if _process_start(owner) != started:
            machine._signal("qemu.pid", signal.SIGKILL)
            with contextlib.suppress(OSError):
                (machine.dir / "guard.pid").unlink()  # not this process's own signal, then
            with contextlib.suppress(Refused):
                machine._remove()
            return
        time.sleep(1)


def run(argv: list[str], *, shares=(), timeout: float = 3600, boot_timeout: float = 180,
        hang: bool = False) -> int:
    """Boot, run argv in this folder with this environment, power off: its status."""
    with tempfile.TemporaryDirectory(prefix="reelstart-vm-") as session:
        machine = Machine(pathlib.Path(session) / "machine")
        try:
            machine.start(shares, boot_timeout, hang)
            return machine.exec(argv, timeout=timeout)
        finally:
            machine.stop()


def main(argv: list[str]) -> int:
    if argv[:1] == ["guard"]:
        guard(argv[1], int(argv[2]), argv[3])
        return 0
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = ap.add_subparsers(dest="action", required=True)
    parsers = {name: sub.add_parser(name) for name in ("run", "start", "exec", "stop")}
    for name in ("start", "exec", "stop"):
        parsers[name].add_argument("session", help="the machine's folder")
    for name in ("run", "start"):
        parsers[name].add_argument("--share", action="append", default=[], help="a folder the guest may write")
        parsers[name].add_argument("--boot-timeout", type=float, default=180)
        parsers[name].add_argument("--hang", action="store_true", help=argparse.SUPPRESS)  # its own test
    parsers["start"].add_argument("--prepare", help="a shell command whose disk later boots start from")
    parsers["start"].add_argument("--depends", action="append", default=[],
                                  help="a file whose change makes --prepare run again")
    for name in ("run", "exec"):
        parsers[name].add_argument("--timeout", type=float, default=3600)
        parsers[name].add_argument("command", nargs="+")
    a = ap.parse_args(argv)
    command = getattr(a, "command", [])
    try:
        if a.action == "run":
            return run(command, shares=a.share, timeout=a.timeout, boot_timeout=a.boot_timeout, hang=a.hang)
        machine = Machine(a.session)
        if a.action == "start":
            # The machine lives as long as whoever asked for it: ctest, or a shell.
            machine.start(a.share, a.boot_timeout, a.hang, owner=os.getppid(), prepare=a.prepare,
                          depends=a.depends)
        elif a.action == "exec":
            if not machine.running():
                raise MachineFailed(f"no machine runs in {a.session} (vmrun.py start)")
            return machine.exec(command, timeout=a.timeout)
        else:
            machine.stop()
        return 0
    except Refused as e:
        print(f"vmrun: {e}", file=sys.stderr)
        return REFUSED
    except (MachineFailed, RuntimeError, OSError, subprocess.CalledProcessError) as e:
        print(f"vmrun: the emulated machine failed: {e}", file=sys.stderr)
        return MACHINE_FAILED


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
