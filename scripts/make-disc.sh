#!/usr/bin/env bash
# Makes a disc image, ready to burn, of a folder of films with Reelstart at its root.
# Run with --help for the usage; the README ("Making a film disc") says why the image
# holds what it holds.
set -euo pipefail
export LC_ALL=C.UTF-8   # tr and globs work on bytes of ASCII; python3 reads names as UTF-8

ROOT=$(cd "$(dirname "$0")/.." && pwd)
APPID="REELSTART FILM DISC"     # the image's application id: how a rerun knows its own image
PREPARER="REELSTART MAKE-DISC.SH"
declare -A SECTORS=([cd]=360000 [dvd]=2295104 [dvd-dl]=4173824)   # of 2048 bytes

usage() {
  cat <<'EOF'
Usage: bash scripts/make-disc.sh FOLDER OUTPUT.iso [--label NAME] [--size cd|dvd|dvd-dl] [-- SWITCHES...]

Writes OUTPUT.iso, a disc image of everything in FOLDER (hidden folders included)
plus, at its root, start.exe (build/win32/Reelstart.exe, built when needed) and
autorun.inf, which starts it when the disc is inserted. Names keep their long
form, Cyrillic and punctuation (Joliet and UDF 1.02); films over 4 GiB keep their
full size in UDF, which Windows XP and later read.

  --label NAME   the disc's name (default: FOLDER's name), for autorun.inf's label=
                 and the volume: Russian letters become Latin ones, ASCII letters,
                 digits, spaces and - _ . ( ) stay, the rest goes; at most 30
                 characters (UDF's volume name). The volume id is the same in
                 capitals, with _ for anything but letters and digits.
  --size MEDIUM  refuse when the image would not fit: cd (700 MB), dvd (4.7 GB),
                 dvd-dl (8.5 GB). Without it any size is written.
  -- SWITCHES    Reelstart's switches for the open= line, e.g. -- /name /desc

FOLDER must hold at least one film (.avi .divx .dvr-ms .m1v .mp2 .mpeg .mpa .mpe
.mpg .mpv2 .mp2v .wmv, any case, at any depth), and only names Windows shows and
opens on a disc (scripts/disc_names.py lists the rules: no device names such as
con.avi, no names differing in case alone in one folder, none ending in a dot or
a space, no path longer than Windows takes, ...). A start.exe or autorun.inf at
FOLDER's root is left out of the image (the disc gets its own; FOLDER itself is
never changed). OUTPUT is written whole or not at all; an existing OUTPUT is
replaced only when it is an image this script made. Symbolic links are not
followed: the image leaves them out. The same FOLDER makes the same image, byte for
byte, and so do the same films copied elsewhere with their dates (cp -a), on any
file system: its dates are those of FOLDER's newest entry (or SOURCE_DATE_EPOCH,
when set).

REELSTART_DISC_EXE=PATH puts another exe on the disc as start.exe (the tests'
64-bit twin); by default it is always the shipped 32-bit build/win32/Reelstart.exe.
EOF
}

die() { echo "make-disc.sh: $*" >&2; exit 1; }

# -- arguments
label="" size="" switches=() positional=()
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --label) [ $# -ge 2 ] || die "--label needs a NAME"; label=$2; shift 2 ;;
    --size) [ $# -ge 2 ] || die "--size needs cd, dvd or dvd-dl"; size=$2; shift 2 ;;
    --) shift; switches=("$@"); break ;;
    -*) die "unknown option $1 (see --help)" ;;
    *) positional+=("$1"); shift ;;
  esac
done
[ "${#positional[@]}" -eq 2 ] || { usage >&2; exit 2; }
folder=${positional[0]} output=${positional[1]}
[ -z "$size" ] || [ -n "${SECTORS[$size]:-}" ] || die "--size $size: give cd, dvd or dvd-dl"
for s in "${switches[@]}"; do
  [[ $s =~ ^[/-][A-Za-z0-9?]+$ ]] || die "switch '$s' cannot go on the open= line (like /name or -desc)"
done

# -- the folder
[ -d "$folder" ] || die "no folder '$folder'"
folder=$(cd "$folder" && pwd -P)
[ "$folder" != / ] || die "FOLDER is / itself: name the folder of films to put on the disc"
# The script's work folder (start.exe, autorun.inf) must not lie in what goes on the disc.
tmpdir=$(cd "${TMPDIR:-/tmp}" 2>/dev/null && pwd -P) || die "no folder '${TMPDIR:-/tmp}' for the work folder (TMPDIR)"
case "$tmpdir/" in "$folder"/*) die "the work folder would lie inside $folder (TMPDIR=$tmpdir) and go onto the disc: set TMPDIR to a folder outside it" ;; esac

# The work folder: what disc_names.py read of FOLDER, start.exe, autorun.inf, the graft points.
work=$(mktemp -d)
tmp=""
cleanup() { rm -rf "$work"; [ -z "$tmp" ] || rm -f "$tmp"; }
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# FOLDER is walked once, by scripts/disc_names.py, and all below reads what that walk
# wrote into the work folder: the films counted, the newest date, the names left out at
# the root (Windows' idea of start.exe and autorun.inf), the root's entries grafted and
# the catalogue the volume set id is made from. It prints the names the disc cannot
# carry as they are (too long for genisoimage, or what Windows would not show or open
# as that entry): the rules are its table.
bad=$(python3 "$ROOT/scripts/disc_names.py" "$folder" "$work") || die "could not check the names in $folder"
read -r films newest < "$work/summary"
[ "$films" -gt 0 ] || die "'$folder' holds no film (.avi .divx .dvr-ms .m1v .mp2 .mpeg .mpa .mpe .mpg .mpv2 .mp2v .wmv)"
if [ -n "$bad" ]; then
  printf '%s\n' "$bad" | sed 's/^/make-disc.sh: /' >&2
  exit 1
fi

# -- the output
outdir=$(dirname "$output")
[ -d "$outdir" ] || die "no folder '$outdir' for $output"
outdir=$(cd "$outdir" && pwd -P)
case "$outdir/" in "$folder"/*) die "$output lies inside $folder: the image would hold itself" ;; esac
output=$outdir/$(basename "$output")
is_own_image() {  # the primary volume descriptor (sector 16) and its application id
  [ "$(tail -c +32770 "$1" 2>/dev/null | head -c 5)" = CD001 ] &&
  [ "$(tail -c +33343 "$1" | head -c 128 | sed 's/ *$//')" = "$APPID" ]
}
if [ -e "$output" ] || [ -L "$output" ]; then
  [ -f "$output" ] && is_own_image "$output" ||
    die "$output exists and is not an image made by make-disc.sh: left as it is (remove it or name another OUTPUT)"
fi

# -- the program and the tools
if [ -n "${REELSTART_DISC_EXE:-}" ]; then
  exe=$REELSTART_DISC_EXE
else
  bash "$ROOT/scripts/build.sh" --exe >/dev/null   # incremental: builds only what changed
  exe=$ROOT/build/win32/Reelstart.exe
fi
[ -f "$exe" ] || die "no program at $exe"
command -v genisoimage >/dev/null && command -v faketime >/dev/null || bash "$ROOT/scripts/setup-debian.sh"

sed 's/^/make-disc.sh: note: /' "$work/notes" >&2

# -- the label: autorun.inf's label= and the volume id
[ -n "$label" ] || label=$(basename "$folder")
label=$(printf '%s' "$label" | python3 -c '
import sys  # Russian letters in Latin ones (а б в ... я), the rest as it is
lat = "a b v g d e zh z i y k l m n o p r s t u f kh ts ch sh shch - y - e yu ya".split()
table = {0x430 + i: s.replace("-", "") for i, s in enumerate(lat)}
table.update({0x410 + i: s.replace("-", "").capitalize() for i, s in enumerate(lat)})
table.update({0x451: "e", 0x401: "E"})
sys.stdout.write(sys.stdin.read().translate(table))' | tr -c 'A-Za-z0-9 ._()-' ' ' | tr -s ' ' | sed 's/^ *//; s/ *$//' | cut -c1-30)
[ -n "${label//[ ._()-]/}" ] || label=Films
volid=$(printf '%s' "$label" | tr 'a-z' 'A-Z' | tr -c 'A-Z0-9' '_' | tr -s '_' | sed 's/^_*//; s/_*$//')

# -- the tree: FOLDER's root entries and the two files, as genisoimage graft points
# One folder, one image: every date on it is that of FOLDER's newest entry (or
# SOURCE_DATE_EPOCH), and the entries go in name order. genisoimage takes the volume's
# dates from the clock, so it runs on a fixed one (faketime; the files keep their own
# dates), in UTC.
epoch=${SOURCE_DATE_EPOCH:-$newest}
epoch=${epoch%.*}
[[ $epoch =~ ^[0-9]+$ ]] || die "SOURCE_DATE_EPOCH=$epoch is not a count of seconds"
clock=(env TZ=UTC NO_FAKE_STAT=1 faketime -f "$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')")

cp "$exe" "$work/start.exe"
sed -e "s|^open=start\.exe\r\$|open=start.exe${switches[*]+ ${switches[*]}}\r|" \
    -e "s|^label=.*\r\$|label=$label\r|" "$ROOT/disc/autorun.inf" > "$work/autorun.inf"
touch -d "@$epoch" "$work/start.exe" "$work/autorun.inf"
graft() { printf '%s' "$1" | sed 's/[\\=]/\\&/g'; }
{
  printf 'start.exe=%s\nautorun.inf=%s\n' "$(graft "$work/start.exe")" "$(graft "$work/autorun.inf")"
  while IFS= read -r -d '' name; do
    printf '%s=%s\n' "$(graft "$name")" "$(graft "$folder/$name")"
  done < "$work/root"
} > "$work/paths"

# Joliet (long Unicode names) and UDF 1.02 (the same names, and a film's full size over
# 4 GiB, where the ISO 9660 and Joliet entries get a shrunk size), no Rock Ridge (Windows
# ignores it, and Linux readers then show the names Windows shows); -D keeps folders
# deeper than 8 levels.
iso=("${clock[@]}" genisoimage -quiet -input-charset utf-8 -J -joliet-long -udf -allow-limited-size -D
     -V "$volid" -A "$APPID" -p "$PREPARER" -graft-points -path-list "$work/paths")

sectors=$("${iso[@]}" -print-size) || die "genisoimage could not size the image"
[[ $sectors =~ ^[0-9]+$ ]] || die "genisoimage gave no size: $sectors"
if [ -n "$size" ] && [ "$sectors" -gt "${SECTORS[$size]}" ]; then
  die "the image needs $sectors sectors of 2048 bytes ($((sectors * 2048)) bytes), more than a $size holds (${SECTORS[$size]}): nothing written"
fi

# Written beside OUTPUT, sparse (runs of zeros cost no disk), renamed when complete.
tmp=$(mktemp "$outdir/.$(basename "$output").XXXXXX")
"${iso[@]}" | cp --sparse=always /dev/stdin "$tmp" || die "writing the image failed: nothing written"
written=$(stat -c %s "$tmp")
[ "$written" -eq $((sectors * 2048)) ] ||
  die "the image came out $written bytes, not the $((sectors * 2048)) announced: nothing written"
# genisoimage fills the second half of UDF's volume set id (after the date, in hex)
# with a value that changes from run to run: made from what the disc shows instead, a
# CRC-32 of the volume id, the date, start.exe, autorun.inf and the catalogue of FOLDER
# the names' check wrote (not from where FOLDER lies or what its file system keeps of
# it, so that the same films anywhere make the same image), in each copy of the volume
# descriptor, with the descriptor's CRC and checksum.
python3 - "$tmp" "$work" "$volid|$epoch" <<'PY' || die "could not fix the UDF volume set id: nothing written"
import os, sys, zlib
path, work, disc = sys.argv[1:]
SECTOR, ANCHOR, PRIMARY = 2048, 256, 1   # the anchor's sector; the primary descriptor's tag id

seed = zlib.crc32(disc.encode("utf-8", "surrogateescape"))
for name in ("start.exe", "autorun.inf", "catalogue"):
    with open(os.path.join(work, name), "rb") as f:
        seed = zlib.crc32(f.read(), seed)

def crc(data):  # CRC-ITU-T (polynomial 0x1021, start 0), as UDF's descriptor tags take it
    value = 0
    for byte in data:
        value ^= byte << 8
        for _ in range(8):
            value = (value << 1 ^ 0x1021 if value & 0x8000 else value << 1) & 0xFFFF
    return value

def le(data, at, size):
    return int.from_bytes(data[at:at + size], "little")

with open(path, "r+b") as image:
    image.seek(ANCHOR * SECTOR)
    anchor = image.read(SECTOR)
    assert le(anchor, 0, 2) == 2, "no UDF anchor"
    patched = 0
    for extent in (16, 24):  # the main and the reserve volume descriptor sequence
        length, start = le(anchor, extent, 4), le(anchor, extent + 4, 4)
        for sector in range(start, start + length // SECTOR):
            image.seek(sector * SECTOR)
            tag = bytearray(image.read(SECTOR))
            if le(tag, 0, 2) != PRIMARY:
                continue
            end = 16 + le(tag, 10, 2)
            assert le(tag, 8, 2) == crc(tag[16:end]), "a descriptor CRC unlike UDF's"
            tag[73 + 8:73 + 16] = b"%08X" % seed   # the id: 8-bit characters from byte 73
            tag[8:10] = crc(tag[16:end]).to_bytes(2, "little")
            tag[4] = sum(tag[0:4] + tag[5:16]) & 0xFF
            image.seek(sector * SECTOR)
            image.write(tag)
            patched += 1
    assert patched == 2, f"{patched} primary volume descriptors"
PY
chmod "$(printf '%o' $((0666 & ~0$(umask))))" "$tmp"
mv -f "$tmp" "$output"
tmp=""
echo "$output: $films film(s), $sectors sectors ($((sectors * 2048)) bytes), label '$label', open=start.exe${switches[*]+ ${switches[*]}}"
