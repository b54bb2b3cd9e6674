"""What tools/vmrun.py's emulated machine boots: Debian's own kernel, an initramfs made
here around busybox, and a disk, fresh or started from a prepared one.

The guest sees the host's whole file tree read-only (virtio-9p of /) under an overlay
whose writable layer is an XFS disk thrown away at the end (tmpfs would keep no user.*
xattrs, where Wine stores DOS attributes).  /tmp too is the host's under that overlay, not
a fresh one: a checkout under the host's /tmp must be seen where it is.  The same disk, as
a file system apart from the overlay, is /run/reelstart-scratch: for work a run throws
away (Wine gives its drives there a volume serial of their own).  XFS because it copies a
file by reference (cp --reflink): a Wine prefix of 600 MB is copied from its template in
a moment, where writing it out takes many seconds.

A prepared disk is the one a shell command left in a machine of its own (the end-to-end
tests and the demo make their Wine prefix template so); later boots start from a
throwaway overlay of it.  The initramfs and the prepared disks are cached in
$REELSTART_VM_CACHE or ~/.cache/reelstart-vm.
"""
from __future__ import annotations

import fcntl, gzip, hashlib, io, os, pathlib, re, subprocess, sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import winearch  # noqa: E402

CACHE = pathlib.Path(os.environ.get("REELSTART_VM_CACHE") or "~/.cache/reelstart-vm").expanduser()
BUSYBOX = "/bin/busybox"  # busybox-static: the initramfs has no libraries
# Loaded in this order, each after what modules.dep says it needs.
MODULES = ["virtio_pci", "9pnet_virtio", "9p", "overlay", "virtio_blk", "crc32c_generic", "xfs",
           "fuse"]
HEARTBEAT = 2  # the guest touches job/heartbeat this often (seconds)

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


def scratch_disk(folder: pathlib.Path, base: pathlib.Path | None) -> tuple[pathlib.Path, str]:
    """A new writable disk for one boot in `folder`, and its QEMU format: an overlay of the
    prepared disk `base`, which stays as it is, or else an empty XFS."""
    if base:
        disk = folder / "scratch.qcow2"
        subprocess.run(["qemu-img", "create", "-q", "-f", "qcow2", "-b", str(base), "-F", "raw",
                        str(disk)], check=True, stdout=subprocess.DEVNULL)
        return disk, "qcow2"
    disk = folder / "scratch.xfs"
    with open(disk, "wb") as f:
        f.truncate(32 << 30)  # sparse: only what the guest writes takes space
    subprocess.run(["mkfs.xfs", "-q", "-f", "-m", "reflink=1", str(disk)], check=True,
                   stdout=subprocess.DEVNULL)
    return disk, "raw"


def prepared(prepare: str, depends, boot, out) -> pathlib.Path:
    """The cached disk the shell command `prepare` leaves in a fresh machine, keyed by the
    command, the files `depends`, the kernel, the initramfs and the installed packages.
    When there is none it is made now, one maker at a time: boot() gives a machine
    (tools/vmmachine.py's) up on a fresh disk, the command runs there with its output to
    `out`, and the disk is kept once the machine has powered off; disks made for other
    keys are then deleted.  RuntimeError (or what the machine raises) when the command or
    the machine fails; nothing is kept then."""
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
        maker = boot()
        try:
            out.write(f"vmrun: preparing the machine's disk (once): {prepare}\n".encode()), out.flush()
            code = maker.exec(["sh", "-c", prepare], timeout=3600, out=out)
            if code:
                raise RuntimeError(f"preparing the disk failed (exit status {code}): {prepare}")
            maker.poweroff(wait=120)
            if maker.running():
                raise RuntimeError("the machine that prepared the disk did not power off")
            tmp = base.with_suffix(f".{os.getpid()}")
            subprocess.run(["cp", "--sparse=always", str(maker.dir / "scratch.xfs"), str(tmp)], check=True)
            tmp.rename(base)
        finally:
            maker.stop(wait=0)
        for old in CACHE.glob("prepared-*.xfs"):  # made for other packages or sources
            if old != base:
                old.unlink()
    return base
