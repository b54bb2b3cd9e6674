#!/usr/bin/env python3
"""Run commands in an emulated x86-64 machine whose kernel runs 32-bit code.

Some kernels have 32-bit emulation switched off: no i386 program starts there, wine32
included, and neither Wine's WoW64 mode nor qemu's user-mode emulation gets past that.
A whole emulated machine does: QEMU (TCG, which needs no KVM; nested KVM was seen to
hang the guest, so none is used) boots Debian's own kernel (linux-image-amd64, with
CONFIG_IA32_EMULATION=y), and there wine32 runs the shipped 32-bit Reelstart.exe.

The guest sees the host's whole file tree read-only (virtio-9p of /) under an overlay
whose writable layer is a fresh XFS disk (sparse, thrown away at the end: tmpfs would
keep no user.* xattrs, where Wine stores DOS attributes).  /tmp too is the host's under
that overlay, not a fresh one: a checkout under the host's /tmp must be seen where it is.
The same disk, as a file system apart from the overlay, is /run/reelstart-scratch: for
work a run throws away (Wine gives its drives there a volume serial of their own).
XFS because it copies a file by reference (cp --reflink): a Wine prefix of 600 MB
is copied from its template in a moment, where writing it out takes many seconds.
Only the folders given with --share are mounted writable, at their own paths, so a run
writes nothing back but those.  The command runs in the caller's folder with the
caller's environment, plus REELSTART_VM (why it runs there: tools/winearch.py then
says so, and answers that the shipped 32-bit exe runs natively) and
REELSTART_TIME_FACTOR (how much slower than a native run to allow).

    vmrun.py run [--share DIR]... [--timeout S] [--boot-timeout S] -- COMMAND [ARG]...

or, to boot once for many commands (the end-to-end tests: one machine for all modules):

    vmrun.py start SESSION [--share DIR]...    vmrun.py exec SESSION -- COMMAND [ARG]...
    vmrun.py stop SESSION

Exit status: the command's own; or 125 with "vmrun: the emulated machine failed: ..."
on stderr when the machine itself failed (QEMU would not start, the guest did not come
up within --boot-timeout, a kernel oops or panic, no status came back), and 124 when the
command ran past --timeout.  The initramfs (busybox and the few modules the guest needs)
is built once and cached in $REELSTART_VM_CACHE or ~/.cache/reelstart-vm.
"""
from __future__ import annotations

import argparse, gzip, hashlib, io, os, pathlib, re, shlex, shutil, subprocess, sys, tempfile, time

CACHE = pathlib.Path(os.environ.get("REELSTART_VM_CACHE") or "~/.cache/reelstart-vm").expanduser()
BUSYBOX = "/bin/busybox"  # busybox-static: the initramfs has no libraries
# Loaded in this order, each after what modules.dep says it needs.
MODULES = ["virtio_pci", "9pnet_virtio", "9p", "overlay", "virtio_blk", "crc32c_generic", "xfs",
           "fuse"]
MACHINE_FAILED, TIMED_OUT = 125, 124
# TCG translates every guest instruction: what takes a second natively may take several.
TIME_FACTOR = 6
# Lines of the console that mean the guest's kernel, not the command, went wrong.
KERNEL_TROUBLE = re.compile(r"(Kernel panic|Oops|BUG:|general protection fault|Unable to mount root)")

# The guest's first process: mounts the host's tree under an overlay, the writable
# shares at their own paths, runs the job and writes its exit status back.
INIT = r"""#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
fail() { echo "reelstart-vm: $*" > /dev/ttyS0; poweroff -f; }
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
echo up > /job/ready
# Jobs 0, 1, 2... one at a time, each in a process group of its own, so that a job the
# host gives up on (N.kill) can be ended with all it started.
n=0
while [ ! -e /job/stop ]; do
  if [ -e /job/$n.sh ]; then
    chroot /root /usr/bin/setsid -w /bin/sh /run/reelstart-job/$n.sh < /dev/null > /job/$n.out 2>&1 &
    pid=$!
    while kill -0 $pid 2>/dev/null; do
      [ -e /job/$n.kill ] && kill -9 -$pid $pid 2>/dev/null
      sleep 0.2
    done
    wait $pid; echo $? > /job/$n.status.new; mv /job/$n.status.new /job/$n.status
    n=$((n + 1))
  else
    sleep 0.2
  fi
done
sync; poweroff -f
"""


def kernel() -> tuple[pathlib.Path, str]:
    """The newest Debian kernel in /boot whose modules are installed, and its version."""
    for vmlinuz in sorted(pathlib.Path("/boot").glob("vmlinuz-*"), reverse=True):
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
    stamp = hashlib.sha1(INIT.encode() + busybox + version.encode()
                         + "|".join(map(str, modules)).encode()).hexdigest()[:12]
    path = CACHE / f"initrd-{version}-{stamp}.img"
    if path.exists():
        return path
    names = [m.name.split(".ko")[0] for m in modules]
    entries = [(d, 0o40755, b"") for d in ("bin", "dev", "proc", "sys", "lib")]
    entries += [("bin/busybox", 0o100755, busybox), ("init", 0o100755, INIT.encode()),
                ("modules", 0o100644, "\n".join(names).encode() + b"\n")]
    entries += [(f"lib/{n}.ko", 0o100644, m.read_bytes()) for n, m in zip(names, modules)]
    CACHE.mkdir(parents=True, exist_ok=True)
    tmp = path.with_suffix(f".{os.getpid()}")
    tmp.write_bytes(gzip.compress(_cpio(entries), 1))
    tmp.rename(path)
    return path


def _why() -> str:
    """Why commands run in the machine, for the reports made inside it."""
    sys.path.insert(0, str(pathlib.Path(__file__).parent))
    import winearch
    t = winearch.target()
    return t.why if t.how == "vm" else "tools/vmrun.py was asked to run it there"


def _job_script(argv: list[str], cwd: str, env: dict) -> str:
    skip = {"PWD", "OLDPWD", "SHLVL", "_"}
    lines = [f"export {k}={shlex.quote(v)}" for k, v in env.items()
             if k not in skip and re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", k)]
    return "\n".join(lines + [f"cd {shlex.quote(cwd)} || exit 125", "exec " + shlex.join(argv), ""])


class MachineFailed(Exception):
    """The emulated machine, not the command, failed; the text says how."""


class Machine:
    """An emulated machine kept in the folder `session`, so that one boot serves many
    commands, from one process or several (start, exec..., stop).  The folder holds the
    scratch disk, the console log, QEMU's pid and the job share the guest reads its
    commands from."""

    def __init__(self, session):
        self.dir = pathlib.Path(session).resolve()
        self.jobs = self.dir / "job"

    def start(self, shares=(), boot_timeout: float = 180, hang: bool = False):
        """Boot the machine and wait until it takes commands.  MachineFailed if QEMU does
        not start or the guest is not up within boot_timeout seconds (then stopped)."""
        self.stop()
        vmlinuz, version = kernel()
        initrd = initramfs(version)
        self.jobs.mkdir(parents=True)
        shares = [os.path.realpath(s) for s in shares]
        (self.jobs / "shares").write_text("".join(f"s{i} {p}\n" for i, p in enumerate(shares)))
        disk = self.dir / "scratch.xfs"
        with open(disk, "wb") as f:
            f.truncate(32 << 30)  # sparse: only what the guest writes takes space
        subprocess.run(["mkfs.xfs", "-q", "-f", "-m", "reflink=1", str(disk)], check=True,
                       stdout=subprocess.DEVNULL)
        cmd = ["qemu-system-x86_64", "-accel", "tcg,thread=multi", "-cpu", "qemu64",
               "-smp", str(os.cpu_count() or 2), "-m", "6144", "-display", "none", "-no-reboot",
               "-monitor", "none", "-serial", f"file:{self.dir / 'console.log'}",
               "-kernel", str(vmlinuz), "-initrd", str(initrd),
               "-append", "console=ttyS0 quiet panic=-1" + (" reelstart.hang" if hang else ""),
               "-drive", f"file={disk},if=virtio,format=raw,cache=unsafe"]
        for tag, path, ro in [("job", self.jobs, False), ("host", "/", True)] + [
                (f"s{i}", p, False) for i, p in enumerate(shares)]:
            cmd += ["-fsdev", f"local,id={tag},path={path},security_model=none,multidevs=remap"
                    + (",readonly=on" if ro else ""), "-device", f"virtio-9p-pci,fsdev={tag},mount_tag={tag}"]
        try:
            with open(self.dir / "qemu.err", "wb") as err:
                qemu = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=err, start_new_session=True)
        except OSError as e:
            raise MachineFailed(f"QEMU does not start ({e})") from None
        (self.dir / "qemu.pid").write_text(str(qemu.pid))
        deadline = time.monotonic() + boot_timeout
        while not (self.jobs / "ready").exists():
            if qemu.poll() is not None:
                self._fail("QEMU ended before the guest was up")
            if time.monotonic() > deadline:
                self._fail(f"the guest did not come up within {boot_timeout:g} s")
            time.sleep(0.2)

    def exec(self, argv: list[str], *, cwd: str | None = None, env: dict | None = None,
             timeout: float = 3600, out=None) -> int:
        """Run argv in the guest, in cwd with env (default: this process's), copying its
        output (stdout and stderr together) to `out` as it comes.  Returns its exit
        status, or TIMED_OUT after timeout seconds (the job is then killed).
        MachineFailed if the machine dies or its kernel reports trouble."""
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
        deadline = time.monotonic() + timeout
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
            if not self.running():
                self._fail("the machine stopped while the command ran")
            if time.monotonic() > deadline:
                (self.jobs / f"{n}.kill").touch()
                print(f"vmrun: the command ran past {timeout:g} s and was stopped", file=sys.stderr)
                return TIMED_OUT
            time.sleep(0.2)
        if [l for l in self.console().splitlines() if KERNEL_TROUBLE.search(l)]:
            self._fail("the guest kernel reported trouble")
        return int(status.read_text())

    def running(self) -> bool:
        try:
            pid = int((self.dir / "qemu.pid").read_text())
            return "qemu" in pathlib.Path(f"/proc/{pid}/cmdline").read_text(errors="replace")
        except (OSError, ValueError):
            return False

    def stop(self, wait: float = 30):
        """Power the guest off (killed after `wait` seconds) and remove the session."""
        if self.running():
            pid = int((self.dir / "qemu.pid").read_text())
            (self.jobs / "stop").touch()
            deadline = time.monotonic() + wait
            while self.running() and time.monotonic() < deadline:
                time.sleep(0.2)
            if self.running():
                os.kill(pid, 9)
        shutil.rmtree(self.dir, ignore_errors=True)

    def console(self) -> str:
        return "\n".join(p.read_text(errors="replace") for p in
                         (self.dir / "console.log", self.dir / "qemu.err") if p.exists())

    def _fail(self, why: str):
        tail = "\n".join(self.console().splitlines()[-30:])
        self.stop(wait=0)
        raise MachineFailed(why + (f"\n{tail}" if tail else ""))


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
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = ap.add_subparsers(dest="action", required=True)
    parsers = {name: sub.add_parser(name) for name in ("run", "start", "exec", "stop")}
    for name in ("start", "exec", "stop"):
        parsers[name].add_argument("session", help="the machine's folder")
    for name in ("run", "start"):
        parsers[name].add_argument("--share", action="append", default=[], help="a folder the guest may write")
        parsers[name].add_argument("--boot-timeout", type=float, default=180)
        parsers[name].add_argument("--hang", action="store_true", help=argparse.SUPPRESS)  # its own test
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
            machine.start(a.share, a.boot_timeout, a.hang)
        elif a.action == "exec":
            if not machine.running():
                raise MachineFailed(f"no machine runs in {a.session} (vmrun.py start)")
            return machine.exec(command, timeout=a.timeout)
        else:
            machine.stop()
        return 0
    except (MachineFailed, RuntimeError, OSError, subprocess.CalledProcessError) as e:
        print(f"vmrun: the emulated machine failed: {e}", file=sys.stderr)
        return MACHINE_FAILED


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
