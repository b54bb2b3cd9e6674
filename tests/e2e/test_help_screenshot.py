"""The help box as a user sees it: the real Reelstart.exe under Wine on a virtual X
screen (Xvfb), found by its window title, photographed, and closed with the keyboard.

The screenshot is kept as E2E_KEEP/help-box.png (CI keeps it as an artefact).

Wine 8 picks the display driver of a prefix when its desktop process starts: a
program started with DISPLAY in a prefix whose server was started without it still
gets no window (its MessageBoxA returns -1 at once).  So this class starts Xvfb
first and gives DISPLAY to every Wine command of its own prefix.
"""
import os
import shutil
import struct
import subprocess
import threading
import time
import unittest
import zlib

import winerun as w
from reelstart import KEEP, WORK, ReelstartTest

TITLE = "Velkor Programs Reelstart"
SHOT = KEEP / "help-box.png"
TOOLS = ("Xvfb", "xdotool", "import", "convert")


def start_xvfb() -> tuple[subprocess.Popen, str]:
    """A virtual screen on a free display number (Xvfb chooses it): (process, ":N")."""
    read, write = os.pipe()
    try:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                                 "-nolisten", "tcp", "-noreset"], pass_fds=(write,),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        os.close(write)
        # Xvfb writes the number, then a line break, and dies if it cannot: read both.
        number = b""
        deadline = time.monotonic() + w.scaled(20)
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read, 16)
            if not chunk:
                break
            number += chunk
    finally:
        os.close(read)
    if not number.strip().isdigit():
        xvfb.kill()
        xvfb.wait()
        raise AssertionError(f"Xvfb did not start (it said {number!r})")
    return xvfb, ":" + number.decode().strip()


def png_size(path) -> tuple[int, int]:
    """Width and height from a PNG's header, after checking its signature and that its
    header chunk is intact."""
    data = path.read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG file")
    length, = struct.unpack(">I", data[8:12])
    crc, = struct.unpack(">I", data[16 + length:20 + length])
    if length != 13 or zlib.crc32(data[12:16 + length]) != crc:
        raise AssertionError(f"{path} has a damaged header")
    return struct.unpack(">II", data[16:24])


class DisplayPrefix(w.WinePrefix):
    """A prefix whose Wine commands all see the X display `display`."""

    def __init__(self, path, display: str):
        self.display = display
        super().__init__(path)

    def env(self, extra=None, debug=None):
        return dict(super().env(extra, debug), DISPLAY=self.display)


class HelpBoxOnScreen(ReelstartTest):

    @classmethod
    def setUpClass(cls):
        missing = [tool for tool in TOOLS if not shutil.which(tool)]
        if missing:
            raise AssertionError(f"missing {', '.join(missing)}: apt-get install xvfb xdotool imagemagick")
        cls.xvfb, cls.display = start_xvfb()
        try:
            # As the base class does, but with a prefix on the X display.
            cls.work = WORK / cls.__module__ / cls.__name__
            shutil.rmtree(cls.work, ignore_errors=True)
            cls.work.mkdir(parents=True)
            KEEP.mkdir(parents=True, exist_ok=True)
            cls.prefix = DisplayPrefix(str(cls.work / "prefix"), cls.display)
            cls.prefix.start()
        except BaseException:
            cls.stop_xvfb()
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            cls.prefix.close(remove=True)  # its own, not the module's prefix of the base class
        finally:
            cls.stop_xvfb()

    @classmethod
    def stop_xvfb(cls):
        cls.xvfb.terminate()
        try:
            cls.xvfb.wait(10)
        except subprocess.TimeoutExpired:
            cls.xvfb.kill()
            cls.xvfb.wait()

    def x(self, *argv, timeout: float = 10, check: bool = True) -> subprocess.CompletedProcess:
        """An X client command on the virtual screen; its stdout as text."""
        p = subprocess.run(argv, env=dict(os.environ, DISPLAY=self.display), text=True,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=w.scaled(timeout))
        if check and p.returncode:
            self.fail(f"{' '.join(argv)} failed ({p.returncode}): {p.stderr.strip()}")
        return p

    def colours(self, path, crop: str = "") -> int:
        """How many distinct colours the image (or the region "WxH+X+Y" of it) has."""
        region = ["-crop", crop, "+repage"] if crop else []
        return int(self.x("convert", str(path), *region, "-format", "%k", "info:").stdout)

    def test_help_box_is_shown_photographed_and_closed_with_return(self):
        self.film("a.avi")  # a run that went past the help branch would write a playlist
        self.install()
        SHOT.unlink(missing_ok=True)
        outcome = {}

        def run():
            try:
                outcome["result"] = self.run_exe(["/?"], relay=["user32.MessageBoxA"])
            except BaseException as error:  # reported by the test thread
                outcome["error"] = error
        runner = threading.Thread(target=run, daemon=True)
        runner.start()

        def stop_the_run():
            if runner.is_alive():
                self.prefix.stop()  # ends every Wine process of the prefix
            runner.join(30)
        self.addCleanup(stop_the_run)

        def ended() -> str:
            """What the run came to, in a few words."""
            if "error" in outcome:
                return repr(outcome["error"])
            result = outcome["result"]
            return f"exit code {result.code}, MessageBoxA {[c.retval for c in result.called('MessageBoxA')]}"

        # The box: a mapped window with the program's product name as its title (looked
        # for until it shows, the program ends without it, or 30 s have passed).
        deadline = time.monotonic() + w.scaled(30)
        while True:
            found = self.x("xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$",
                           check=False).stdout.split()
            if found:
                break
            if not runner.is_alive():
                self.fail(f"the program ended without showing a window titled {TITLE!r}: {ended()}")
            if time.monotonic() > deadline:
                self.fail(f"no window titled {TITLE!r} within 30 s")
            time.sleep(0.1)
        window = found[0]
        geometry = dict(line.split("=", 1) for line in
                        self.x("xdotool", "getwindowgeometry", "--shell", window).stdout.split())
        width, height, left, top = (int(geometry[k]) for k in ("WIDTH", "HEIGHT", "X", "Y"))
        self.assertTrue(200 <= width <= 1024 and 100 <= height <= 768, geometry)
        box = f"{width}x{height}+{left}+{top}"

        # Photograph the screen once the box is painted (text, icon and button give it
        # many colours; a window not yet drawn is one flat colour).
        deadline = time.monotonic() + w.scaled(10)
        while True:
            self.x("import", "-window", "root", str(SHOT))
            if self.colours(SHOT, box) >= 16 or time.monotonic() > deadline:
                break
            time.sleep(0.2)
        self.assertEqual(png_size(SHOT), (1024, 768))
        self.assertGreater(SHOT.stat().st_size, 2000)
        self.assertGreater(self.colours(SHOT), 1)
        self.assertGreaterEqual(self.colours(SHOT, box), 16, "the box was not drawn")

        # Return presses the box's default button; the program then ends normally.
        self.x("xdotool", "key", "--window", window, "Return")
        runner.join(10)
        self.assertFalse(runner.is_alive(), "the program still runs 10 s after Return")
        self.assertNotIn("error", outcome)
        result = outcome["result"]
        self.assertEqual(result.code, 0, ended())
        [call] = result.called("MessageBoxA")
        owner, text, caption, flags = call.args
        self.assertEqual((owner, caption, flags), (0, TITLE, 0x40))
        self.assertTrue(text.startswith("Программа запуска видео-файлов текущей папки.\r\n"), text)
        self.assertEqual(call.retval, 1)  # IDOK: closed by its button, not by force
        gone = self.x("xdotool", "search", "--name", f"^{TITLE}$", check=False)
        self.assertEqual(gone.stdout.split(), [], "the box is still on the screen")
        self.assertIsNone(self.playlist())


if __name__ == "__main__":
    unittest.main()
