"""tools/vmrun.py and its machines (tools/vmmachine.py), the emulated machine the
end-to-end tests run in where the kernel runs no 32-bit code: what a command gives back,
what the guest may write, and a machine that never answers, freezes, or loses the
process that started it."""
import io
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
import vmmachine  # noqa: E402

VMRUN = [sys.executable, str(ROOT / "tools" / "vmrun.py")]


def gone(pid: int, within: float) -> bool:
    """Whether process pid has ended (or is a zombie) within `within` seconds."""
    deadline = time.monotonic() + within
    while time.monotonic() < deadline:
        try:
            with open(f"/proc/{pid}/stat") as f:
                if f.read().rpartition(")")[2].split()[0] == "Z":
                    return True
        except OSError:
            return True
        time.sleep(0.2)
    return False


class Commands(unittest.TestCase):
    """One machine for several commands, as the end-to-end level uses it."""

    @classmethod
    def setUpClass(cls):
        # Under the host's /tmp, as a checkout may be: the guest must see it there.
        cls.tmp = tempfile.TemporaryDirectory(prefix="vmrun-test-")
        cls.shared = pathlib.Path(cls.tmp.name) / "shared"
        cls.private = pathlib.Path(cls.tmp.name) / "private"
        cls.shared.mkdir(), cls.private.mkdir()
        cls.machine = vmmachine.Machine(pathlib.Path(cls.tmp.name) / "machine")
        cls.machine.start([cls.shared])

    @classmethod
    def tearDownClass(cls):
        cls.machine.stop()
        cls.tmp.cleanup()

    def exec(self, script: str, **kw) -> tuple[int, str]:
        out = io.BytesIO()
        code = self.machine.exec(["sh", "-c", script], out=out, **kw)
        return code, out.getvalue().decode()

    def test_status_output_folder_and_environment_come_through(self):
        env = dict(os.environ, E2E_PROBE="a b", AWS_SECRET_ACCESS_KEY="x")
        code, out = self.exec('echo "out $E2E_PROBE $(pwd)"; echo err >&2; '
                              'echo "x32 $(uname -m) $REELSTART_TIME_FACTOR"; '
                              'echo "secret ${AWS_SECRET_ACCESS_KEY:-none}"; ls /sys/class/net; exit 7',
                              cwd=str(self.private), env=env)
        self.assertEqual(code, 7)
        self.assertEqual(out.splitlines(), [f"out a b {self.private}", "err",
                                            f"x32 x86_64 {vmmachine.TIME_FACTOR}", "secret none",
                                            "lo"])  # no network device, only the loopback

    def test_only_the_shares_reach_the_host_and_nothing_privileged_through_them(self):
        code, out = self.exec(f"echo kept > {self.shared}/a && echo lost > {self.private}/b "
                              f"&& cat {self.private}/b && chmod 4755 {self.shared}/a "
                              f"&& mknod {self.shared}/null c 1 3")
        self.assertEqual((code, out), (0, "lost\n"))  # the guest sees what it wrote...
        self.assertEqual((self.shared / "a").read_text(), "kept\n")
        self.assertFalse((self.private / "b").exists())  # ...the host only what it shares
        self.assertFalse((self.shared / "a").stat().st_mode & 0o6000)  # no setuid on the host
        self.assertFalse((self.shared / "null").is_char_device())

    def test_a_command_past_its_time_is_stopped_and_the_machine_goes_on(self):
        code, _ = self.exec("sleep 300", timeout=3)
        self.assertEqual(code, vmmachine.TIMED_OUT)
        self.assertEqual(self.exec("echo next"), (0, "next\n"))

    def test_commands_sent_at_once_run_at_once(self):
        # Each waits for the other's file: run one after the other, both would time out.
        first = threading.Thread(target=lambda: setattr(self, "first", self.exec(
            f"touch {self.shared}/one; while [ ! -e {self.shared}/two ]; do sleep 0.1; done", timeout=60)))
        first.start()
        second = self.exec(f"touch {self.shared}/two; while [ ! -e {self.shared}/one ]; do sleep 0.1; done",
                           timeout=60)
        first.join()
        self.assertEqual((self.first, second), ((0, ""), (0, "")))


class Failures(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory(prefix="vmrun-test-")
        self.addCleanup(tmp.cleanup)
        self.tmp = pathlib.Path(tmp.name)

    def test_a_guest_that_never_answers_is_reported_within_its_limit(self):
        machine = vmmachine.Machine(self.tmp / "machine")
        t0 = time.monotonic()
        with self.assertRaisesRegex(vmmachine.MachineFailed, "did not come up within 20 s"):
            machine.start(boot_timeout=20, hang=True)
        self.assertLess(time.monotonic() - t0, 60)
        self.assertFalse(machine.running())

    def test_a_frozen_guest_fails_its_command_within_the_limit(self):
        machine = vmmachine.Machine(self.tmp / "machine", stale=20)
        machine.start()
        qemu = machine._pid("qemu.pid")
        self.addCleanup(lambda: gone(qemu, 0) or os.kill(qemu, signal.SIGKILL))
        threading.Timer(3, os.kill, (qemu, signal.SIGSTOP)).start()
        t0 = time.monotonic()
        with self.assertRaisesRegex(vmmachine.MachineFailed, "stopped answering"):
            machine.exec(["sleep", "300"], out=io.BytesIO())
        self.assertLess(time.monotonic() - t0, 60)
        self.assertTrue(gone(qemu, 10), "the frozen QEMU was left behind")

    def test_a_machine_ends_with_the_process_that_started_it(self):
        session = self.tmp / "machine"
        # The shell is the owner (`start`'s parent): killed, as ctest may be, mid-boot.
        owner = subprocess.Popen(["sh", "-c", 'exec "$@" >/dev/null 2>&1 & wait', "sh",
                                  *VMRUN, "start", str(session), "--hang", "--boot-timeout", "600"])
        deadline = time.monotonic() + 30
        while not (qemu := vmmachine.Machine(session)._pid("qemu.pid")) and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertTrue(qemu, "no QEMU was started")
        owner.kill(), owner.wait()
        self.assertTrue(gone(qemu, 30), "QEMU outlived the process that started it")

    def test_a_machine_started_through_a_wrapper_lives_on_when_the_wrapper_ends(self):
        session = self.tmp / "machine"
        self.addCleanup(subprocess.run, [*VMRUN, "stop", str(session)], timeout=120)
        # `timeout` ends as soon as `start` returns; the shell or ctest above it goes on.
        subprocess.run(["timeout", "300", *VMRUN, "start", str(session)], check=True, timeout=310)
        # Busy for longer than the guard takes to see its owner gone (it looks every second).
        p = subprocess.run([*VMRUN, "exec", str(session), "--", "sh", "-c", "sleep 3; echo up"],
                           capture_output=True, text=True, timeout=120)
        self.assertEqual((p.returncode, p.stdout), (0, "up\n"), p.stderr)

    def test_a_folder_the_runner_did_not_make_is_left_as_it_is(self):
        mine = self.tmp / "mine"
        mine.mkdir()
        (mine / "keep").write_text("x")
        for action in ("start", "stop"):
            p = subprocess.run([*VMRUN, action, str(mine)], capture_output=True, text=True, timeout=60)
            self.assertEqual(p.returncode, vmmachine.REFUSED, p.stderr)
            self.assertIn("not made by vmrun.py", p.stderr)
            self.assertEqual([f.name for f in mine.iterdir()], ["keep"])


if __name__ == "__main__":
    unittest.main()
