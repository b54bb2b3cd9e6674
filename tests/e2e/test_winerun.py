"""Self-test of winerun.py against real Wine, using the probe in probe/probe.cpp and the
harness's reader (reader/reader.cpp), both built by scripts/build.sh (winerun.HELPERS).

One prefix for the whole module, in a temporary folder.
Run: python3 -m unittest tests/e2e/test_winerun.py
"""
import json, os, shutil, sys, tempfile, time, unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winerun as w  # noqa: E402

MSG = "Файл:\r\n\tC:\\Видео\\фильм.avi"   # the probe's fixed message text
NAME = "Привет C:\\Папка"                 # the probe's REG_SZ value
TOOLS = shutil.which(w.TARGET.wine)


def setUpModule():
    global TMP, PROBE, WP
    if not TOOLS:
        w.missing("needs wine: bash scripts/setup-debian.sh")
    PROBE = w.helper("probe")
    w.helper("reader")
    TMP = tempfile.mkdtemp(prefix="winerun-test-")
    WP = w.WinePrefix(os.path.join(TMP, "prefix"))
    WP.start()


def tearDownModule():
    if TOOLS:
        WP.close()
        shutil.rmtree(TMP, ignore_errors=True)


def probe(args=(), do="cmd", **kw):
    """Run the probe; returns (RunResult, {key: [values]}) from what it wrote."""
    out = os.path.join(TMP, "out.txt")
    if os.path.exists(out):
        os.unlink(out)
    env = dict(kw.pop("env", {}), PROBE_OUT=w.win_path(out), PROBE_DO=do)
    r = WP.run(PROBE, args, env=env, **kw)
    lines = {}
    if os.path.exists(out):
        with open(out, "rb") as f:
            for line in w.decode_ansi(f.read()).splitlines():
                k, _, v = line.partition("=")
                lines.setdefault(k, []).append(v)
    return r, lines


class Offline(unittest.TestCase):
    """The parsers, on text as Wine prints it."""

    def test_paths(self):
        self.assertEqual(w.win_path("/tmp/a b/ф.asx"), "Z:\\tmp\\a b\\ф.asx")
        self.assertEqual(w.unix_path("Z:\\tmp\\a b"), "/tmp/a b")
        self.assertEqual(w.unix_path("C:\\x\\y", "/p"), "/p/drive_c/x/y")
        self.assertEqual(w.decode_ansi(b"\xcf\xf0\xe8\xe2\xe5\xf2\r\n"), "Привет\r\n")

    def test_relay_line(self):
        text = ('0024:Call user32.MessageBoxA(00000000,0063ce50 "\\xd4\\xe0\\xe9\\xeb:\\r\\n\\t\\"q\\" '
                'C:\\\\x",0040a0e8 "\\xce\\xf8"...,00000010) ret=00401a0a\n'
                '0028:Call KERNEL32.CreateProcessW(00000000,001673c0 L"\\"Z:\\\\\\041f\\0430\\"") ret=7147\n'
                '0024:Ret  user32.MessageBoxA() retval=ffffffff ret=00401a0a\n')
        calls = w.parse_relay(text)
        self.assertEqual(calls[0].name, "user32.MessageBoxA")
        self.assertEqual(calls[0].args, [0, 'Файл:\r\n\t"q" C:\\x', "Ош", 0x10])
        self.assertEqual((calls[0].retval, calls[0].truncated), (0xFFFFFFFF, (2,)))
        self.assertEqual(calls[1].args, [0, '"Z:\\Па"'])
        self.assertEqual(w.parse_relay(text, ["kernel32.createprocessw"])[0].retval, None)

    def test_hive_text(self):
        hive = ('[Software\\\\T1] 1796619103\n#time=1dd8606a7f11838\n"dw"=dword:0000002a\n'
                '"dw8"=hex(4):01,00,00,00,00,00,00,00\n"multi"=str(7):"a\\0b\\0"\n'
                '"raw"=hex(1):cf,f0,00\n"sz"="\\x41f\\x440 \\\\ \\"q\\"\\r\\n\\tx"\n@="d"\n'
                '"long"=hex:01,02,\\\n  03\n[Software\\\\T2] 1\n"x"=dword:00000001\n')
        self.assertEqual(w.parse_reg(hive, "software\\t1", hive=True), {
            "dw": ("REG_DWORD", 42), "dw8": ("REG_DWORD", b"\1\0\0\0\0\0\0\0"),
            "multi": ("REG_MULTI_SZ", ["a", "b"]), "raw": ("REG_SZ", b"\xcf\xf0\0"),
            "sz": ("REG_SZ", 'Пр \\ "q"\r\n\tx'), "": ("REG_SZ", "d"), "long": ("REG_BINARY", b"\1\2\3")})
        self.assertIsNone(w.parse_reg(hive, "Software\\T3", hive=True))


class CommandLine(unittest.TestCase):

    def test_list_args_are_quoted_by_wine(self):
        r, out = probe(["", "/name", "a b", 'q"x', "Ёж"], "cmd|exit=7")
        self.assertEqual(r.code, 7)
        self.assertEqual(out["cmd"], [f'"{w.win_path(PROBE)}" "" /name "a b" q\\"x Ёж'])
        self.assertEqual(out["cmd"], [r.cmdline])

    def test_raw_command_lines_are_exact(self):
        for raw in ['"" /name', '"/name"', "", "  /a   \"b c\"\t", '"Фильм.avi" "x&y" a^b (p)']:
            r, out = probe(raw, "cmd|exit=3")
            self.assertEqual(out["cmd"], [f'"{w.win_path(PROBE)}"' + (" " + raw if raw else "")])
            self.assertEqual(r.code, 3)

    def test_refused_raw_lines(self):
        for raw in ["%PATH%", "a & b", "x > y", "a\nb"]:
            self.assertRaises(ValueError, WP.run, PROBE, raw)

    def test_exit_code_keeps_low_8_bits_and_cwd(self):
        r, out = probe([], "cmd|exit=300", cwd=TMP)
        self.assertEqual(r.code, 300 & 0xFF)
        self.assertEqual(out["cwd"], [w.win_path(TMP)])

    def test_timeout_kills_the_program(self):
        t = time.monotonic()
        self.assertRaises(TimeoutError, probe, [], f"sleep={w.scaled(20000):.0f}", timeout=1)
        self.assertLess(time.monotonic() - t, w.scaled(5))
        self.assertEqual(probe([], "exit=4")[0].code, 4)


class Environment(unittest.TestCase):

    def setUp(self):
        self.saved = WP.read_keys(w.USER_ENV, w.SYSTEM_ENV)

    def tearDown(self):
        WP.import_reg(w.value_lines(w.USER_ENV, {"TMP": self.saved[0]["TMP"]})
                      + w.value_lines(w.SYSTEM_ENV, {"TMP": self.saved[1]["TMP"]}))

    def test_tmp_unix_windows_and_unset(self):
        d = os.path.join(TMP, "т мп")
        WP.set_tmp(d)
        out = probe(do="tmp")[1]
        self.assertEqual((out["env_tmp"], out["temp_path"]), ([w.win_path(d)], [w.win_path(d) + "\\"]))
        WP.set_tmp(windows="Q:\\nowhere")
        self.assertEqual(probe(do="tmp")[1]["env_tmp"], ["Q:\\nowhere"])
        WP.set_tmp()
        out = probe(do="tmp", env={"TMP": "/tmp"})[1]  # the Unix TMP does not count
        self.assertEqual(out["env_tmp"], ["(unset)"])
        self.assertEqual(out["temp_path"], [self.saved[0]["TEMP"][1] + "\\"])  # from TEMP


class Relay(unittest.TestCase):

    def test_message_box_text_and_headless_return(self):
        r, out = probe(do="msg|exit=1", relay=["user32.MessageBoxA"])
        (call,) = r.called("MessageBoxA")
        self.assertEqual(call.args[1:], [MSG, "Ошибка", 0x10])
        self.assertEqual(call.retval, 0xFFFFFFFF)  # no display: fails at once
        self.assertEqual(out["msgbox"], [str(0xFFFFFFFF)])
        self.assertLess(r.seconds, w.scaled(5))

    def test_long_text_is_cut_by_wine(self):
        text = "".join(f"Ж{i:03d}" for i in range(100))
        r, _ = probe(do="msg", relay=["user32.MessageBoxA"], env={"PROBE_MSG": text})
        (call,) = r.called("user32.MessageBoxA")
        self.assertEqual(call.truncated, (1,))
        self.assertTrue(text.startswith(call.args[1]))
        self.assertGreater(len(call.args[1]), 60)


class Registry(unittest.TestCase):
    KEY = r"HKCU\Software\WinerunTest\Ключ [1]"

    def test_program_writes_read_back(self):
        WP.delete_keys(r"HKCU\Software\ReelProbe", r"HKLM\Software\ReelProbe")
        self.assertIsNone(WP.read_key(r"HKCU\Software\ReelProbe"))
        out = probe(do="reg")[1]
        self.assertEqual((out["reg_hkcu"], out["reg_hklm"]), (["0"], ["0"]))
        want = {"Name": ("REG_SZ", NAME), "Count": ("REG_DWORD", 42)}
        self.assertEqual(WP.read_key(r"HKCU\Software\ReelProbe"), want)
        self.assertEqual(WP.read_key(r"HKLM\Software\ReelProbe"), want)
        self.assertEqual(WP.read_key(r"HKEY_LOCAL_MACHINE\Software\ReelProbe", exact=True), want)

    def test_set_any_type_exactly(self):
        WP.delete_key(self.KEY)
        values = {
            "Starts Count": ("REG_DWORD", b"\x05\0\0\0\0\0\0\0"), "sz": ("REG_SZ", "Ёж \"q\" \\ \r\n\t"),
            "bin": ("REG_BINARY", b"\0\xff"), "dw": ("REG_DWORD", 7), "q": ("REG_QWORD", 2**40),
            "multi": ("REG_MULTI_SZ", ["a", "б"]), "exp": ("REG_EXPAND_SZ", "%TMP%\\x"), "": ("REG_SZ", "d")}
        raw = {"no NUL": ("REG_SZ", "abc".encode("utf-16-le")), "Нечёт \"[x]\"": ("REG_SZ", b"abc")}
        WP.set_values(self.KEY, dict(values, **raw))
        self.assertEqual(WP.read_key(self.KEY, exact=True), dict(values, **raw))
        fast = WP.read_key(self.KEY)  # regedit /E misprints: an 8-byte DWORD as its 4 first bytes
        self.assertEqual(fast.pop("Starts Count"), ("REG_DWORD", 5))
        del values["Starts Count"]
        self.assertEqual({k: v for k, v in fast.items() if k not in raw}, values)
        WP.delete_value(self.KEY, "sz")
        self.assertNotIn("sz", WP.read_key(self.KEY))
        WP.delete_key(self.KEY)
        self.assertIsNone(WP.read_key(self.KEY))

    def test_a_failed_export_is_an_error_not_a_missing_key(self):
        scratch = WP.scratch
        try:
            WP.scratch = os.path.join(TMP, "no such folder")  # regedit cannot write its file there
            self.assertRaisesRegex(RuntimeError, "не удалось открыть файл", WP.read_key, r"HKCU\Software")
        finally:
            WP.scratch = scratch
        self.assertRaisesRegex(RuntimeError, "HKBOGUS", WP.read_key, r"HKBOGUS\Software")


class Shell(unittest.TestCase):

    def setUp(self):
        self.dir = os.path.join(TMP, "Папка")
        os.makedirs(self.dir, exist_ok=True)

    def make(self, name, data=b"<asx/>"):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_no_association_fails_at_once(self):
        WP.delete_key(r"HKCR\.asx")
        path = w.win_path(self.make("фильм 1.asx"))
        r, out = probe(do="shell=" + path, relay=["shell32.ShellExecuteA"])
        self.assertEqual(out["shell"], ["31"])  # SE_ERR_NOASSOC
        self.assertEqual(r.called("ShellExecuteA")[0].args[1:4], ["open", path, 0])
        self.assertEqual(r.leftovers, [])
        self.assertLess(r.seconds, w.scaled(5))

    def test_association_to_windows_program(self):
        WP.register_open_command(".asz", f'"{w.win_path(PROBE)}" "%1"')
        path = self.make("фильм 2.asz")
        r, out = probe(do="shell=" + w.win_path(path), env={"PROBE_CHILD_DO": "cmd|sleep=300"})
        self.assertEqual(out["shell"], ["33"])
        # run() waited for the child: its line is there
        self.assertEqual(out["cmd"], [f'"{w.win_path(PROBE)}" "{w.win_path(path)}"'])

    def test_association_to_recorder(self):
        log = os.path.join(TMP, "opens.jsonl")
        WP.record_opens(".asx", log)
        path = self.make("фильм 3.asx", "<asx>ё</asx>".encode("cp1251"))
        r, out = probe(do="shell=" + w.win_path(path))
        self.assertEqual(out["shell"], ["33"])
        with open(log) as f:
            (rec,) = [json.loads(line) for line in f]
        self.assertEqual(rec["argv"], [w.win_path(path)])
        self.assertEqual(w.decode_ansi(bytes.fromhex(rec["data"])), "<asx>ё</asx>")
        WP.delete_key(r"HKCR\.asx")

    def test_lingering_child_is_killed(self):
        WP.register_open_command(".asz", f'"{w.win_path(PROBE)}" "%1"')
        r, _ = probe(do="shell=" + w.win_path(self.make("x.asz")),
                     env={"PROBE_CHILD_DO": "sleep=30000"}, settle=0.5)
        self.assertEqual(len(r.leftovers), 1)
        self.assertIn("x.asz", r.leftovers[0])


class Files(unittest.TestCase):
    """What FindFirstFileA and CreateFileA see of Unix file names and links."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(dir=TMP)
        for name in ("日本語.avi", "Ωμέγα.avi", "фильм.avi", "Mixé.avi", "plain.avi"):
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(name.encode())
        os.mkdir(os.path.join(self.dir, "real"))
        os.mkdir(os.path.join(self.dir, "日本"))
        open(os.path.join(self.dir, "日本", "in.avi"), "wb").close()
        os.symlink("real", os.path.join(self.dir, "linkdir"))
        os.symlink("plain.avi", os.path.join(self.dir, "link.avi"))
        os.symlink("nowhere", os.path.join(self.dir, "dangling"))

    def listing(self):
        out = probe(do="find=" + w.win_path(self.dir))[1]
        return {n: (short, int(attr, 16)) for n, short, attr in (x.split("\t") for x in out["find"])}

    def test_unrepresentable_names(self):
        found = self.listing()
        self.assertIn("???.avi", found)       # 日本語: '?' per character
        self.assertIn("?????.avi", found)     # Ωμέγα
        self.assertIn("Mixe.avi", found)      # best fit: é -> e, a name that does not open
        self.assertIn("фильм.avi", found)
        self.assertNotIn("dangling", found)   # dangling links are not listed
        short = found["???.avi"][0]
        self.assertRegex(short, r"^[A-Z0-9_~]{1,8}\.AVI$")
        folder = w.win_path(self.dir)
        out = probe(do=f"open={folder}\\{short}|open={folder}\\???.avi|open={folder}\\Mixe.avi")[1]
        self.assertEqual(out["open_size"], [str(len("日本語.avi".encode()))])
        self.assertEqual(out["open_error"], ["123", "2"])  # ERROR_INVALID_NAME, FILE_NOT_FOUND
        short_dir = found["??"][0]                # a folder: short name without extension
        inner = probe(do=f"find={folder}\\{short_dir}")[1]["find"]
        self.assertIn("in.avi\t\t00000020", inner)

    def test_links(self):
        found = self.listing()
        self.assertEqual(found["linkdir"][1], 0x410)  # DIRECTORY | REPARSE_POINT
        self.assertEqual(found["real"][1], 0x10)
        self.assertEqual(found["link.avi"][1], 0x20)  # file links look like files
        d = w.win_path(self.dir)
        out = probe(do=f"id={d}\\real|id={d}\\linkdir|id={d}\\real\\")[1]
        ino = os.stat(os.path.join(self.dir, "real")).st_ino
        # The serial is whatever Wine gives drive Z:: 'Z' << 24 on most machines, 0 for
        # the overlay root of an emulated machine. The same folder, whichever way named.
        self.assertEqual(len(set(out["id"])), 1, out["id"])
        self.assertRegex(out["id"][0], rf"^[0-9a-f]{{8}}:{ino:016x} attr=00000010$")


if __name__ == "__main__":
    unittest.main()
