"""tools/vmrun.py, the emulated machine the end-to-end tests run in where the kernel runs
no 32-bit code: what a command gives back, what the guest may write, and a machine that
never answers."""
import io
import os
import pathlib
import sys
import tempfile
import time
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
import vmrun  # noqa: E402


class Commands(unittest.TestCase):
    """One machine for several commands, as the end-to-end level uses it."""

    @classmethod
    def setUpClass(cls):
        # Under the host's /tmp, as a checkout may be: the guest must see it there.
        cls.tmp = tempfile.TemporaryDirectory(prefix="vmrun-test-")
        cls.shared = pathlib.Path(cls.tmp.name) / "shared"
        cls.private = pathlib.Path(cls.tmp.name) / "private"
        cls.shared.mkdir(), cls.private.mkdir()
        cls.machine = vmrun.Machine(pathlib.Path(cls.tmp.name) / "machine")
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
        code, out = self.exec('echo "out $PROBE $(pwd)"; echo err >&2; '
                              'echo "x32 $(uname -m) $REELSTART_TIME_FACTOR"; exit 7',
                              cwd=str(self.private), env=dict(os.environ, PROBE="a b"))
        self.assertEqual(code, 7)
        self.assertEqual(out.splitlines(), [f"out a b {self.private}", "err",
                                            f"x32 x86_64 {vmrun.TIME_FACTOR}"])

    def test_only_the_shares_reach_the_host(self):
        code, out = self.exec(f"echo kept > {self.shared}/a && echo lost > {self.private}/b "
                              f"&& cat {self.private}/b")
        self.assertEqual((code, out), (0, "lost\n"))  # the guest sees what it wrote...
        self.assertEqual((self.shared / "a").read_text(), "kept\n")
        self.assertFalse((self.private / "b").exists())  # ...the host only what it shares

    def test_a_command_past_its_time_is_stopped_and_the_machine_goes_on(self):
        code, _ = self.exec("sleep 300", timeout=3)
        self.assertEqual(code, vmrun.TIMED_OUT)
        self.assertEqual(self.exec("echo next"), (0, "next\n"))


class DeadMachine(unittest.TestCase):
    def test_a_guest_that_never_answers_is_reported_within_its_limit(self):
        with tempfile.TemporaryDirectory(prefix="vmrun-test-") as tmp:
            machine = vmrun.Machine(pathlib.Path(tmp) / "machine")
            t0 = time.monotonic()
            with self.assertRaisesRegex(vmrun.MachineFailed, "did not come up within 20 s"):
                machine.start(boot_timeout=20, hang=True)
            self.assertLess(time.monotonic() - t0, 60)
            self.assertFalse(machine.running())


if __name__ == "__main__":
    unittest.main()
