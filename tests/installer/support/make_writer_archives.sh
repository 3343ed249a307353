#!/usr/bin/env bash
# Makes, in directory $1, one archive per way common writers make them, and
# archives broken on purpose:
#   w-<name>.zip  a writer's archive that unzip reads;
#   r-<name>.zip  a broken archive that `unzip -t` rejects;
#   n-<name>.zip  a name holding a NUL, which unzip cuts and reads.
# Every archive holds (parts of) the same small tree, made here from fixed
# seeds, so two runs give the same contents. Needs zip and python3. Used by
# the installer's writer test and by the fuzz target's seed corpus.
set -euo pipefail
out=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - <<'PY'
import os, random
rnd = random.Random(20261211)
os.makedirs('src/sub/nested', exist_ok=True)
open('src/a.txt', 'w').write(''.join('line %d of the first file\n' % i for i in range(200)))
open('src/sub/nested/b.txt', 'w').write('nested\n')
open('src/sub/c.bin', 'wb').write(bytes(rnd.getrandbits(8) for _ in range(20000)))
open('src/empty.txt', 'w').close()
words = ['runtime', 'archive', 'library', 'record', 'owner', 'group', 'mode']
text = ''
while len(text) < 300 * 1024:
    text += ' '.join(rnd.choice(words) for _ in range(9)) + ' %d\n' % rnd.randrange(100000)
open('big.txt', 'w').write(text[:300 * 1024])
open('stub.bin', 'wb').write(bytes(rnd.getrandbits(8) for _ in range(5000)))
PY

# Info-ZIP zip. -X everywhere but in its own row keeps the extra fields of
# the system out of the way of reproducible bytes; the row without it keeps
# them.
izip() { (cd src && zip -q "$@"); }
izip -r "$out/w-zip-r.zip" .
izip -r -X -0 "$out/w-zip-0.zip" .
izip -r -X -1 "$out/w-zip-1.zip" .
izip -r -X -9 "$out/w-zip-9.zip" .
izip -r -X -fz "$out/w-zip-fz.zip" .
izip -r -X -D "$out/w-zip-D.zip" .
izip -r -X -z "$out/w-zip-comment.zip" . <<<'an archive comment'
(cd src && find . -type f | sort | zip -q -X "$out/w-zip-list.zip" -@)
printf 'a\n' | zip -q -X "$out/w-zip-stdin-short.zip" -
zip -q -X "$out/w-zip-stdin-300k.zip" - <big.txt
izip -r -X "$work/plain.zip" .
cat stub.bin plain.zip >"$out/w-zip-stub.zip"
cat stub.bin plain.zip >"$out/w-zip-stub-A.zip"
zip -q -A "$out/w-zip-stub-A.zip"

# python's zipfile.
python3 - "$out" <<'PY'
import os, sys, zipfile
out = sys.argv[1]

def tree():
    for root, dirs, files in sorted(os.walk('src')):
        dirs.sort()
        rel = os.path.relpath(root, 'src')
        if rel != '.':
            yield rel + '/', None
        for f in sorted(files):
            yield os.path.normpath(os.path.join(rel, f)), os.path.join(root, f)

def write_all(z, zip64=False):
    for name, path in tree():
        if path is None:
            z.writestr(name, b'')
        elif zip64:
            with z.open(name, 'w', force_zip64=True) as f:
                f.write(open(path, 'rb').read())
        else:
            z.write(path, name)

class Pipe:
    """A stream that can only be written: zipfile then adds data descriptors."""
    def __init__(self, f):
        self.f = f
    def write(self, b):
        return self.f.write(b)
    def flush(self):
        self.f.flush()

for label, method in (('stored', zipfile.ZIP_STORED), ('deflated', zipfile.ZIP_DEFLATED)):
    with zipfile.ZipFile(os.path.join(out, 'w-py-%s.zip' % label), 'w', method) as z:
        write_all(z)
with zipfile.ZipFile(os.path.join(out, 'w-py-zip64.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    write_all(z, zip64=True)
for label, zip64 in (('unseekable', False), ('unseekable-zip64', True)):
    with open(os.path.join(out, 'w-py-%s.zip' % label), 'wb') as f:
        with zipfile.ZipFile(Pipe(f), 'w', zipfile.ZIP_DEFLATED) as z:
            write_all(z, zip64)

# Broken archives, from a small stored one.
import struct
with zipfile.ZipFile('base.zip', 'w', zipfile.ZIP_STORED) as z:
    z.writestr('a.txt', b'new alpha ' * 10)
    z.writestr('sub/b.txt', b'new bravo ' * 10)
    z.writestr('aXb.txt', b'new charlie')
base = open('base.zip', 'rb').read()
central = base.find(b'PK\x01\x02')
end = base.rfind(b'PK\x05\x06')

def save(name, data):
    open(os.path.join(out, name), 'wb').write(bytes(data))

x = bytearray(base)  # the local header's compressed size, not the central one's
struct.pack_into('<I', x, 18, struct.unpack_from('<I', x, 18)[0] + 1)
save('r-sizes-disagree.zip', x)
x = bytearray(base)
at = x.find(b'new alpha')
x[at] ^= 0x20
save('r-bad-crc.zip', x)
x = bytearray(base)
struct.pack_into('<HH', x, end + 8, 4, 4)
save('r-count-too-high.zip', x)
save('r-truncated-directory.zip', base[:central + (end - central) // 2])
save('n-nul-in-name.zip', base.replace(b'aXb', b'a\x00b'))

# A ZIP64 locator (the archive of data from standard input has one) that
# names no record, a record whose signature is garbage, and one whose
# values contradict the classic end record's.
piped = open(os.path.join(out, 'w-zip-stdin-short.zip'), 'rb').read()
end = piped.rfind(b'PK\x05\x06')
record = piped.rfind(b'PK\x06\x06')
x = bytearray(piped)
struct.pack_into('<Q', x, end - 20 + 8, len(piped) + 1000)
save('r-locator-past-end.zip', x)
x = bytearray(piped)
x[record:record + 4] = b'JUNK'
save('r-zip64-record-garbage.zip', x)
x = bytearray(piped)  # the record's directory offset against the classic one
struct.pack_into('<Q', x, record + 48, 5)
save('r-zip64-record-contradicts.zip', x)
PY
