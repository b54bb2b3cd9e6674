#!/usr/bin/env bash
# Makes the release a disc author downloads: OUTDIR/reelstart-VERSION.zip (OUTDIR by
# default dist/ of this tree), VERSION being the ProductVersion of the built exe's own
# version resource, the one its statistics key is named after. Builds the exe first
# when needed. Usage: bash scripts/release.sh [OUTDIR]
#
# At the zip's root: start.exe (build/win32/Reelstart.exe byte for byte), autorun.inf
# (disc/autorun.inf), README.txt (the Russian guide, made from disc/guide-ru.txt) and
# SHA256SUMS.txt (of those three, in the format sha256sum -c reads).
#
# One commit makes the same zip, byte for byte, on any machine, from any folder, at any
# time: entries in a fixed order, dated SOURCE_DATE_EPOCH or else the commit's date,
# with fixed attributes, no extra fields (no clock, no owner, no mode of the files on
# this machine), and stored uncompressed, so that no zlib's version or flavour (zlib-ng
# deflates otherwise) changes the bytes: deflated, the exe would take less than half
# its room, a hundred-odd kilobytes not worth a zip that depends on the machine.
set -euo pipefail
export LC_ALL=C.UTF-8

ROOT=$(cd "$(dirname "$0")/.." && pwd -P)   # physical, as git names its top level
die() { echo "release.sh: $*" >&2; exit 1; }
[ $# -le 1 ] && [[ ${1:-} != -* ]] || { echo "Usage: bash scripts/release.sh [OUTDIR]" >&2; exit 2; }
outdir=${1:-$ROOT/dist}

bash "$ROOT/scripts/build.sh" --exe >/dev/null   # incremental: builds only what changed
exe=$ROOT/build/win32/Reelstart.exe
[ -f "$exe" ] || die "no program at $exe"

# The version as the program itself sees it: windres reads the resources back out of the
# exe; the file name wants digits and dots only.
version=$(i686-w64-mingw32-windres -i "$exe" -O rc |
          sed -n 's/^ *VALUE "ProductVersion", "\(.*\)"\r\{0,1\}$/\1/p' | sort -u)
[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || die "no single ProductVersion of digits and dots in $exe: '$version'"

# The commit's date only when this tree is a checkout of its own, not a copy lying in
# some other repository's folder.
commit_date() {
  [ "$(git -C "$ROOT" rev-parse --show-toplevel 2>/dev/null)" = "$ROOT" ] &&
    git -C "$ROOT" log -1 --format=%ct
}
epoch=${SOURCE_DATE_EPOCH:-$(commit_date)} ||
  die "no SOURCE_DATE_EPOCH and no git commit to date the zip's entries by"
[[ $epoch =~ ^[0-9]+$ ]] || die "SOURCE_DATE_EPOCH=$epoch is not a count of seconds"

mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd -P)
zip=$outdir/reelstart-$version.zip
tmp=$(mktemp "$outdir/.reelstart-$version.zip.XXXXXX")
trap 'rm -f "$tmp"' EXIT

python3 - "$tmp" "$exe" "$ROOT/disc/autorun.inf" "$ROOT/disc/guide-ru.txt" "$version" "$epoch" <<'PY'
import hashlib, sys, time, zipfile

out, exe, autorun, guide, version, epoch = sys.argv[1:]

# README.txt is UTF-8 with a byte order mark and CR LF line ends: Notepad shows it
# right on every Windows from XP on, whatever the system's code page (Windows-1251 text
# would be unreadable on a system whose ANSI code page is another; Notepad knows UTF-8
# by its mark since Windows 2000, and before Windows 10 (1809) shows LF alone as no
# line end).
# The source stays UTF-8 with LF in git, readable in any diff; VERSION names the key
# the statistics go under.
text = open(guide, encoding="utf-8").read()
assert "\r" not in text and text.endswith("\n"), f"{guide}: LF line ends, ending in one"
readme = b"\xef\xbb\xbf" + text.replace("@VERSION@", version).replace("\n", "\r\n").encode("utf-8")

files = [("start.exe", open(exe, "rb").read()),
         ("autorun.inf", open(autorun, "rb").read()),
         ("README.txt", readme)]
sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files)
files.append(("SHA256SUMS.txt", sums.encode("ascii")))  # LF: shasum takes a CR for part of a name

# A zip's times are MS-DOS local times from 1980 on: the epoch's UTC, wherever this runs.
when = time.gmtime(max(int(epoch), 315532800))[:6]
with zipfile.ZipFile(out, "w") as archive:
    for name, data in files:
        entry = zipfile.ZipInfo(name, date_time=when)
        entry.compress_type = zipfile.ZIP_STORED
        entry.create_system = 0        # MS-DOS: the attributes below are FAT's
        entry.create_version = entry.extract_version = 20
        entry.external_attr = 0x20     # FILE_ATTRIBUTE_ARCHIVE: a plain file
        archive.writestr(entry, data)
PY
chmod "$(printf '%o' $((0666 & ~0$(umask))))" "$tmp"
mv -f "$tmp" "$zip"
trap - EXIT
echo "$zip: $(stat -c %s "$zip") bytes, start.exe $(sha256sum "$exe" | cut -c1-64)"
