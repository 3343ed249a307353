#!/usr/bin/env bash
# Makes the seed corpus of the archive fuzz target in directory $1: small
# archives of the kinds the reader tests use and those of the installer's
# writer table, made here with zip and python3 (nothing is committed).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p src/dir
printf 'hello archive\n' > src/a.txt
head -c 3000 /dev/zero | tr '\0' 'x' > src/dir/rep.txt
printf 'b' > src/dir/b.bin
(cd src && zip -q -X -0 "$work/stored.zip" a.txt dir/b.bin)
(cd src && zip -q -X -9 -r "$work/deflated.zip" .)
(cd src && zip -q -X -P secret "$work/encrypted.zip" a.txt)
(cd src && zip -q -X -fz "$work/zip64.zip" a.txt dir/rep.txt)
(cd src && zip -q -X -z "$work/comment.zip" a.txt <<<'a comment')
printf 'STUB' | cat - stored.zip > stub.zip
python3 - <<'PY'
import zipfile
with zipfile.ZipFile('python64.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    with z.open('big.txt', 'w', force_zip64=True) as f:
        f.write(b'0123456789' * 50)
    z.writestr('caf\u00e9/\u00e9.txt', b'utf-8 name')
    z.writestr('dir/', b'')
# The installer's path: names it must refuse, a directory tree, and a
# corrupt entry after good ones (its data lies stored, so its CRC-32 fails).
for name, entries in (('parent.zip', [('ok.txt', b'ok'), ('../escaped', b'evil')]),
                      ('absolute.zip', [('/abs', b'evil')]),
                      ('backslash.zip', [('a\\..\\..\\x', b'evil')]),
                      ('tree.zip', [('d/', b''), ('d/e/f.txt', b'f'), ('g.txt', b'g' * 700)])):
    with zipfile.ZipFile(name, 'w', zipfile.ZIP_STORED) as z:
        for entry, data in entries:
            z.writestr(entry, data)
with zipfile.ZipFile('corrupt.zip', 'w', zipfile.ZIP_STORED) as z:
    z.writestr('first.txt', b'first')
    z.writestr('sub/second.txt', b'second')
    z.writestr('lib.so', b'REPLACEMENT')
data = bytearray(open('corrupt.zip', 'rb').read())
at = data.find(b'REPLACEMENT')
data[at:at + 11] = b'CORRUPTION!'
open('corrupt.zip', 'wb').write(bytes(data))
PY
cp ./*.zip "$out/"
# The installer's writer table: every common writer's way, and broken ones.
"$here/../support/make_writer_archives.sh" "$out"
