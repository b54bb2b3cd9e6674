#!/usr/bin/env python3
"""Run commands in an emulated x86-64 machine whose kernel runs 32-bit code.

Some kernels have 32-bit emulation switched off: no i386 program starts there, wine32
included, and neither Wine's WoW64 mode nor qemu's user-mode emulation gets past that.
A whole emulated machine does: QEMU (TCG, which needs no KVM; nested KVM was seen to
hang the guest, so none is used) boots Debian's own kernel (linux-image-amd64, with
CONFIG_IA32_EMULATION=y), and there wine32 runs the shipped 32-bit Reelstart.exe.  The
guest proves at boot that it starts a 32-bit program, or the machine fails.  What it
boots (the kernel, the initramfs, its file tree, the prepared disks) is made by
tools/vmimage.py; a machine is run (start, exec, the heartbeat, the guard, stop) by
tools/vmmachine.py, which says what a command in it sees of the host.

    vmrun.py run [--share DIR]... [--timeout S] [--boot-timeout S] -- COMMAND [ARG]...

or, to boot once for many commands (the end-to-end tests: one machine for all modules):

    vmrun.py start SESSION [--share DIR]... [--prepare SHELL-COMMAND [--depends FILE]...]
    vmrun.py exec SESSION [--timeout S] -- COMMAND [ARG]...
    vmrun.py stop SESSION

SESSION is a folder the runner makes and marks as its own: `start` refuses one that
exists without its mark, or where a machine still runs; `stop` removes only a marked
one.  The machine lives no longer than whoever asked for it: `run` itself, or the shell
or ctest that ran `start`, whatever wrapped the call (timeout, sudo...); a guard process
powers it off when that goes, and the next `exec` says so.

--prepare keeps work across boots: the first `start` runs SHELL-COMMAND in a machine of
its own and keeps the disk it leaves (in the cache, keyed by the command, the --depends
files, the kernel and the installed packages); every later one boots on a throwaway
overlay of that disk.  The end-to-end tests and the demo make their Wine prefix template
so.

Exit status: the command's own; 124 when it ran past --timeout (then killed, the machine
goes on); 125 with "vmrun: the emulated machine failed: ..." and the console's tail on
stderr when the machine itself failed: QEMU would not start or ended, the guest did not
come up within --boot-timeout, stopped answering (no heartbeat for 60 seconds: a frozen
or starved guest), or its kernel oopsed or panicked, or its guard powered it off; 2 when
the runner refused a session folder.  The initramfs and the prepared disks are cached in
$REELSTART_VM_CACHE or ~/.cache/reelstart-vm.
"""
from __future__ import annotations

import argparse, os, pathlib, subprocess, sys, tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from vmmachine import MACHINE_FAILED, REFUSED, Machine, MachineFailed, Refused, proc_stat  # noqa: E402


def _argv(pid: int) -> list[str]:
    try:
        return pathlib.Path(f"/proc/{pid}/cmdline").read_bytes().decode(errors="replace").split("\0")[:-1]
    except OSError:
        return []


def _name(pid: int) -> str:
    """What process pid runs, as ps names it: "bash" for a login shell's "-bash" too."""
    argv = _argv(pid)
    return os.path.basename(argv[0]).lstrip("-") if argv else ""


def _parent(pid: int) -> int:
    fields = proc_stat(pid)
    return int(fields[1]) if len(fields) > 1 else 0


# Who asks for a machine on the command line: what runs one line after the other and
# waits for each.  Known by argv[0], not by the kernel's name for the process: a script
# started by its #! line is named after the script, its argv[0] is the shell's.
OWNERS = {"sh", "bash", "dash", "ash", "ksh", "mksh", "zsh", "fish", "csh", "tcsh", "busybox", "ctest"}


def starter(pid: int) -> int:
    """The process whose end ends the machine process pid starts: the nearest shell or
    ctest above pid, or pid's parent when there is none.

    Not simply the parent: a wrapper that forks (timeout, sudo, make, a script's
    subprocess) ends as soon as `start` returns, while the shell that ran it goes on to
    send the machine its commands.  Nor whatever above is still alive once `start` has
    returned: seen from outside, a wrapper ending then looks like an interrupted ctest,
    whose machine must go.  Nor the session's leader: ctest and a script run from a
    terminal share the terminal's session, and their machine must go with them, not
    with the terminal.  A subshell ("(cd x && vmrun.py start S)", "$(...)") is a fork
    with the command line of the shell above it and ends with its one line: the shell
    above owns the machine.  `sh -c LINE` is a shell like any other: a make rule of
    more than one command, which make runs so, ends its machine with the rule."""
    ancestor = parent = _parent(pid)
    while ancestor > 0:  # pid 1 too: a container's shell
        above = _parent(ancestor)
        if _name(ancestor) in OWNERS and _argv(ancestor) != _argv(above):
            return ancestor
        ancestor = above
    return parent


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
            machine.start(a.share, a.boot_timeout, a.hang, owner=starter(os.getpid()), prepare=a.prepare,
                          depends=a.depends)
        elif a.action == "exec":
            if not machine.running():
                raise MachineFailed(machine.ended() or f"no machine runs in {a.session} (vmrun.py start)")
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
