#!/usr/bin/env bash
# Remakes the HEX corpus of tests/firmware/tst_hexcorpus.cpp and its
# README.md with tools that owe nothing to this project: python3-intelhex
# (through /usr/bin/python3) and srec_cat (srecord). Each file is a tool's
# output with the board's identifier line put in front; the damaged ones are
# that output edited as the README says. expect-*.bin are the program area
# (0x800-0x1FFF, padding 0xFF) each accepted file must leave on the board,
# cut out of the tools' own output by srec_cat.
#
#   tests/data/hex/make-corpus.sh      (needs python3-intelhex and srecord)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

export here=$PWD
export py=/usr/bin/python3
export id='#12340301' # board 0x1234 at position 1, then a version
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export tmp

# The identifier line, then the tool's output.
addid() { printf '%s\n' "$id"; cat "$1"; }
# A record of type $1 at address field $2 with data $3 (hex), its checksum
# computed.
rec() {
  "$py" -c 'import sys
t, a, d = int(sys.argv[1], 16), int(sys.argv[2], 16), bytes.fromhex(sys.argv[3])
b = bytes([len(d), a >> 8, a & 255, t]) + d
print(":" + (b + bytes([-sum(b) & 255])).hex().upper())' "$1" "$2" "${3:-}"
}
# Line $1 of the record file $2 with a new checksum (after an edit).
fixsum() {
  sed -n "${1}p" "$2" | "$py" -c 'import sys
b = bytes.fromhex(sys.stdin.read().strip()[1:-2])
print(":" + (b + bytes([-sum(b) & 255])).hex().upper())'
}
# The program area 0x800-0x1FFF of a HEX file as a binary, padded with 0xFF.
expect() {
  srec_cat "$1" -Intel -crop 0x800 0x2000 -fill 0xFF 0x800 0x2000 -offset -0x800 \
    -o "$2" -Binary
}
export -f addid rec fixsum expect

readme=README.md
{
  cat <<'EOF'
# HEX corpus

Files for `tests/firmware/tst_hexcorpus.cpp`, made by `make-corpus.sh` with
python3-intelhex and srec_cat (srecord), never by this project's own
generators. The board is 0x1234 with 8 KiB of flash from 0 and the program
area 0x800-0x1FFF; `$id` is its identifier line `#12340301`. The commands
run in this order in bash, in a scratch folder (`$tmp`) that keeps the
files of earlier commands; `$here` is this folder, `$out` the file made,
`$py` is /usr/bin/python3. Helpers:

- `addid FILE`: `$id` on a line of its own, then FILE;
- `rec TYPE ADDRESS DATA`: one record with a correct checksum;
- `fixsum N FILE`: line N of FILE with its checksum made right again;
- `expect HEX BIN`: `srec_cat HEX -Intel -crop 0x800 0x2000 -fill 0xFF 0x800 0x2000 -offset -0x800 -o BIN -Binary`.

The tables in the test say what each program must make of each file.

EOF
} >"$readme"

# make NAME DESCRIPTION: runs the command on standard input (which writes
# $out) and writes it into the README.
make() {
  local name=$1 description=$2 command
  command=$(cat)
  out="$here/$name" bash -euo pipefail -c "cd \"\$tmp\" && $command"
  printf '## %s\n\n%s\n\n```sh\n%s\n```\n\n' "$name" "$description" "$command" >>"$readme"
}

# Tool outputs the files below are made from.
make base "The tool outputs the files below are made from (in \$tmp), and the program areas they give." <<'EOF'
"$py" - <<'PY'
import random
from intelhex import IntelHex
r = random.Random(16)
code = IntelHex()
for a in range(0x800, 0x800 + 3000):
    code[a] = r.randrange(256)
code.write_hex_file("code-ih.hex")
eeprom = IntelHex()
for a in range(16):
    eeprom[0xF00000 + a] = a * 17
eeprom.write_hex_file("eeprom.hex")
config = IntelHex()
for a, v in enumerate([0x00, 0x22, 0x1F, 0x1E, 0x00, 0x81, 0x85, 0x00,
                       0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40]):
    config[0x300000 + a] = v
config.write_hex_file("config.hex")
PY
srec_cat -generate 0x800 0x1800 -repeat-string 'Velmo door control firmware 2.8 ' \
  -o code-srec.hex -Intel -obs=16
expect code-ih.hex "$here/expect-code-ih.bin"
expect code-srec.hex "$here/expect-code-srec.bin"
srec_cat -generate 0x800 0x2000 -constant 0xFF -offset -0x800 -o "$here/expect-blank.bin" -Binary
EOF

# --- Taken by both programs ------------------------------------------------

make ih-lf.hex "intelhex output, LF line ends, no address records." <<'EOF'
addid code-ih.hex >"$out"
EOF

make ih-crlf.hex "intelhex output written with CR LF line ends." <<'EOF'
"$py" -c 'from intelhex import IntelHex; IntelHex("code-ih.hex").write_hex_file("crlf.hex", eolstyle="CRLF")'
{ printf '%s\r\n' "$id"; cat crlf.hex; } >"$out"
EOF

make srec-i32.hex "srec_cat output, 16-byte records after a type 04 record." <<'EOF'
addid code-srec.hex >"$out"
EOF

make srec-i16.hex "srec_cat output with type 02 (segment) records." <<'EOF'
srec_cat code-srec.hex -Intel -o i16.hex -Intel -address-length=3
addid i16.hex >"$out"
EOF

make srec-i8.hex "srec_cat output without address records." <<'EOF'
srec_cat code-srec.hex -Intel -o i8.hex -Intel -address-length=2
addid i8.hex >"$out"
EOF

make srec-lower.hex "srec_cat output in lower case." <<'EOF'
tr 'A-F' 'a-f' <code-srec.hex >lower.hex
addid lower.hex >"$out"
EOF

make srec-blank-lines.hex "srec_cat output with blank lines after the identifier, between records and at the end." <<'EOF'
{ printf '%s\n\n' "$id"; sed '0~20G' code-srec.hex; printf '\n\n'; } >"$out"
EOF

make srec-obs64.hex "srec_cat output in 64-byte records." <<'EOF'
srec_cat code-srec.hex -Intel -o obs64.hex -Intel -obs=64
addid obs64.hex >"$out"
EOF

make srec-motorola.hex "A Motorola S-record file with a start address, converted by srec_cat (type 05 record)." <<'EOF'
srec_cat code-srec.hex -Intel -o code.s19 -Motorola -execution-start-address=0x800
srec_cat code.s19 -Motorola -o motorola.hex -Intel
addid motorola.hex >"$out"
EOF

make ih-start-linear.hex "intelhex output with a linear start address (type 05)." <<'EOF'
"$py" -c 'from intelhex import IntelHex
h = IntelHex("code-ih.hex"); h.start_addr = {"EIP": 0x800}; h.write_hex_file("s5.hex")'
addid s5.hex >"$out"
EOF

make ih-start-segment.hex "intelhex output with a segment start address (type 03)." <<'EOF'
"$py" -c 'from intelhex import IntelHex
h = IntelHex("code-ih.hex"); h.start_addr = {"CS": 0, "IP": 0x800}; h.write_hex_file("s3.hex")'
addid s3.hex >"$out"
EOF

make ih-eeprom.hex "Code and 16 bytes of EEPROM data at 0xF00000, merged by intelhex." <<'EOF'
"$py" -c 'from intelhex import IntelHex
h = IntelHex("code-ih.hex"); h.merge(IntelHex("eeprom.hex")); h.write_hex_file("e.hex")'
addid e.hex >"$out"
EOF

make ih-config.hex "Code and 14 bytes of configuration words at 0x300000, merged by intelhex." <<'EOF'
"$py" -c 'from intelhex import IntelHex
h = IntelHex("code-ih.hex"); h.merge(IntelHex("config.hex")); h.write_hex_file("c.hex")'
addid c.hex >"$out"
EOF

make ih-merged.hex "Code, configuration words and EEPROM data merged by intelhex, CR LF." <<'EOF'
"$py" -c 'from intelhex import IntelHex
h = IntelHex("code-ih.hex"); h.merge(IntelHex("config.hex")); h.merge(IntelHex("eeprom.hex"))
h.write_hex_file("m.hex", eolstyle="CRLF")'
{ printf '%s\r\n' "$id"; cat m.hex; } >"$out"
EOF

make srec-past-end.hex "srec_cat output with a record at 0x1FF8 that runs 8 bytes past the end of the flash." <<'EOF'
srec_cat code-srec.hex -Intel -generate 0x1F08 0x2008 -repeat-data 0x5A 0xA5 \
  -o past.hex -Intel -obs=16
addid past.hex >"$out"
expect past.hex "$here/expect-past-end.bin"
EOF

make ih-boot-and-app.hex "intelhex: 256 bytes of boot loader at 0 and the code." <<'EOF'
"$py" -c 'from intelhex import IntelHex
h = IntelHex("code-ih.hex")
for a in range(256): h[a] = 0xC3
h.write_hex_file("b.hex")'
addid b.hex >"$out"
EOF

make srec-i16-high.hex "srec_cat: the code and 16 bytes at 0x10000 (type 02 segment 1000), beyond the flash." <<'EOF'
srec_cat code-srec.hex -Intel -generate 0x10000 0x10010 -constant 0x77 \
  -o high.hex -Intel -address-length=3 -obs=16
addid high.hex >"$out"
EOF

make ih-duplicate-same.hex "Two intelhex files one after the other: the second repeats 64 bytes of the first with the same values." <<'EOF'
"$py" -c 'from intelhex import IntelHex
h = IntelHex("code-ih.hex"); IntelHex({a: h[a] for a in range(0x900, 0x940)}).write_hex_file("d.hex")'
{ printf '%s\n' "$id"; grep -v ':00000001FF' code-ih.hex; cat d.hex; } >"$out"
EOF

make ih-full.hex "intelhex: the whole program area 0x800-0x1FFF." <<'EOF'
"$py" -c 'from intelhex import IntelHex
h = IntelHex()
for a in range(0x800, 0x2000): h[a] = (a * 7 + (a >> 8)) & 255
h.write_hex_file("full.hex")'
addid full.hex >"$out"
expect full.hex "$here/expect-full.bin"
EOF

make ih-sparse.hex "intelhex: three pieces with gaps that keep the padding." <<'EOF'
"$py" -c 'from intelhex import IntelHex
h = IntelHex()
for start, n in ((0x800, 100), (0x1000, 37), (0x1C00, 300)):
    for a in range(start, start + n): h[a] = (a ^ 0x5A) & 255
h.write_hex_file("sparse.hex")'
addid sparse.hex >"$out"
expect sparse.hex "$here/expect-sparse.bin"
EOF

# --- Refused before sending, taken by the daemon ---------------------------

make cut-off.hex "ih-lf.hex without its end-of-file record." <<'EOF'
addid code-ih.hex | head -n -1 >"$out"
EOF

make cut-mid.hex "ih-lf.hex cut off after line 100." <<'EOF'
head -n 99 code-ih.hex >cut.hex
addid cut.hex >"$out"
expect cut.hex "$here/expect-cut-mid.bin" 2>/dev/null # srec_cat warns of the missing end
EOF

make data-after-eof.hex "srec-i32.hex with its end-of-file record moved before the last three records." <<'EOF'
n=$(addid code-srec.hex | wc -l)
addid code-srec.hex | sed "$((n - 3))i :00000001FF" | sed '$d' >"$out"
EOF

make conflict.hex "ih-lf.hex followed by intelhex records that give 0x900-0x90F other values." <<'EOF'
"$py" -c 'from intelhex import IntelHex
IntelHex({0x900 + i: 0xEE for i in range(16)}).write_hex_file("other.hex")
h = IntelHex("code-ih.hex"); h.merge(IntelHex("other.hex"), overlap="replace"); h.write_hex_file("later.hex")'
{ printf '%s\n' "$id"; grep -v ':00000001FF' code-ih.hex; cat other.hex; } >"$out"
expect later.hex "$here/expect-conflict.bin"
EOF

make eof-with-data.hex "ih-lf.hex whose end-of-file record carries a byte." <<'EOF'
{ printf '%s\n' "$id"; grep -v ':00000001FF' code-ih.hex; rec 01 0000 AA; } >"$out"
EOF

make start03-short.hex "ih-lf.hex with a type 03 record of 2 bytes before the end." <<'EOF'
{ printf '%s\n' "$id"; grep -v ':00000001FF' code-ih.hex; rec 03 0000 0800; rec 01 0000; } >"$out"
EOF

make start05-address.hex "srec-motorola.hex with the address field of its type 05 record set to 0800." <<'EOF'
n=$(grep -n '^:04000005' motorola.hex | cut -d: -f1)
sed "${n}s/^:04000005/:04080005/" motorola.hex >m5.hex
fixed=$(fixsum "$n" m5.hex)
{ printf '%s\n' "$id"; sed "${n}s/.*/$fixed/" m5.hex; } >"$out"
EOF

make base02-address.hex "srec-i16.hex with the address field of its type 02 record set to 0010." <<'EOF'
{ printf '%s\n' "$id"; sed "s/^:020000020000FC/$(rec 02 0010 0000)/" i16.hex; } >"$out"
EOF

make base04-long.hex "srec-i32.hex with a type 04 record of 3 bytes (base 0, one byte more)." <<'EOF'
{ printf '%s\n' "$id"; sed "s/^:020000040000FA/$(rec 04 0000 000000)/" code-srec.hex; } >"$out"
EOF

make srec-cr.hex "srec_cat output with CR line ends (identifier line too)." <<'EOF'
srec_cat code-srec.hex -Intel -o cr.hex -Intel -obs=16 -line-termination=cr
{ printf '%s\r' "$id"; cat cr.hex; } >"$out"
EOF

make boot-only.hex "intelhex: data only below the program area (0x000-0x7FF)." <<'EOF'
"$py" -c 'from intelhex import IntelHex
IntelHex({a: 0xC3 for a in range(0x800)}).write_hex_file("boot.hex")'
addid boot.hex >"$out"
EOF

make eeprom-only.hex "intelhex: only EEPROM data at 0xF00000." <<'EOF'
addid eeprom.hex >"$out"
EOF

# --- Refused by both ------------------------------------------------------

make bad-checksum.hex "ih-lf.hex with the last checksum digit of line 5 changed." <<'EOF'
addid code-ih.hex | sed '5s/0$/Z/;5s/[1-9A-F]$/0/;5s/Z$/1/' >"$out"
EOF

make non-hex.hex "ih-lf.hex with a G among the data digits of line 6." <<'EOF'
addid code-ih.hex | sed '6s/^\(.\{12\}\)./\1G/' >"$out"
EOF

make odd-digits.hex "ih-lf.hex with one data digit of line 7 deleted." <<'EOF'
addid code-ih.hex | sed '7s/^\(.\{12\}\)./\1/' >"$out"
EOF

make count-mismatch.hex "ih-lf.hex with line 8 claiming 17 data bytes (checksum made right)." <<'EOF'
addid code-ih.hex >c.hex
sed -i '8s/^:10/:11/' c.hex
fixed=$(fixsum 8 c.hex)
sed "8s/.*/$fixed/" c.hex >"$out"
EOF

make unknown-type.hex "ih-lf.hex with a type 06 record before the end." <<'EOF'
{ printf '%s\n' "$id"; grep -v ':00000001FF' code-ih.hex; rec 06 0000 00; rec 01 0000; } >"$out"
EOF

make base04-short.hex "srec-i32.hex with a type 04 record of 1 byte." <<'EOF'
{ printf '%s\n' "$id"; sed "s/^:020000040000FA/$(rec 04 0000 00)/" code-srec.hex; } >"$out"
EOF

make missing-colon.hex "ih-lf.hex with the colon of line 4 deleted." <<'EOF'
addid code-ih.hex | sed '4s/^://' >"$out"
EOF

make no-identifier.hex "intelhex output without the identifier line." <<'EOF'
cp code-ih.hex "$out"
EOF

make other-board.hex "intelhex output for board 0x2345." <<'EOF'
{ printf '#23450301\n'; cat code-ih.hex; } >"$out"
EOF

echo "make-corpus: $(ls ./*.hex | wc -l) files"
