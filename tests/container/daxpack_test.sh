#!/bin/bash
# daxpack end to end: pack with every method, list, cat, extract, an appended show in a copied
# executable, and the damaged and modified variants with the player's error texts.
set -u
DAXPACK="$1"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/daxpack-test-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$WORK/show/pics" "$WORK/show/music"
printf '[Main]\r\nDaxVersion=6.0\r\n[Slide1]\r\nPicture=pics\\photo.jpg\r\n' > "$WORK/show/Project.dax"
head -c 300000 /dev/urandom > "$WORK/show/pics/photo.jpg"
yes "la la la" | head -c 200000 > "$WORK/show/music/song.mp3"
printf 'odd' > "$WORK/show/pics/odd[1].txt"

for method in stored deflate xor; do
  out="$WORK/s_$method.dxshow"
  "$DAXPACK" pack --method "$method" -o "$out" "$WORK/show" > /dev/null || fail "pack $method"
  listing=$("$DAXPACK" list "$out") || fail "list $method"
  [ "$(echo "$listing" | wc -l)" = 4 ] || fail "list $method: $listing"
  echo "$listing" | grep -q "^pics\\\\odd\[1\].txt	$method	" || fail "list $method: $listing"
  for entry in 'pics\photo.jpg' 'music\song.mp3' 'pics\odd[1].txt'; do
    "$DAXPACK" cat "$out" "$entry" | cmp -s - "$WORK/show/${entry//\\//}" || fail "cat $method $entry"
  done
  "$DAXPACK" cat "$out" Project.dax | cmp -s - "$WORK/show/Project.dax" || fail "cat $method document"
done

"$DAXPACK" extract "$WORK/s_xor.dxshow" "$WORK/out" > /dev/null || fail "extract"
diff -r "$WORK/show" "$WORK/out" > /dev/null || fail "extracted files differ"

# A self-playing show: a copy of an executable with the container appended still runs.
cp /bin/true "$WORK/player"
"$DAXPACK" pack --append-to "$WORK/player" -o "$WORK/selfplay" "$WORK/show" > /dev/null || fail "append"
"$WORK/selfplay" || fail "the appended executable does not run"
"$DAXPACK" cat "$WORK/selfplay" 'pics\photo.jpg' | cmp -s - "$WORK/show/pics/photo.jpg" || fail "appended cat"

# Bytes put in front of an appended show move it: refused unless the show allows it.
(printf 'JUNK'; cat "$WORK/selfplay") > "$WORK/shifted"
err=$("$DAXPACK" list "$WORK/shifted" 2>&1 >/dev/null) && fail "modified show listed"
echo "$err" | grep -q "Slide-show File Modified" || fail "modified text: $err"
"$DAXPACK" pack --append-to "$WORK/player" --allow-modify -o "$WORK/selfplay2" "$WORK/show" > /dev/null
(printf 'JUNK'; cat "$WORK/selfplay2") > "$WORK/shifted2"
"$DAXPACK" cat "$WORK/shifted2" 'music\song.mp3' | cmp -s - "$WORK/show/music/song.mp3" || fail "allowed shift"

# A damaged directory position.
cp "$WORK/s_stored.dxshow" "$WORK/damaged"
size=$(stat -c %s "$WORK/damaged")
printf '\x7f' | dd of="$WORK/damaged" bs=1 seek=$((size - 6)) conv=notrunc 2> /dev/null
err=$("$DAXPACK" list "$WORK/damaged" 2>&1 >/dev/null) && fail "damaged show listed"
echo "$err" | grep -q "Slide-show File Damaged" || fail "damaged text: $err"

err=$("$DAXPACK" list "$WORK/missing" 2>&1 >/dev/null) && fail "missing show listed"
echo "$err" | grep -q "Slideshow File not Found" || fail "missing text: $err"
"$DAXPACK" cat "$WORK/s_stored.dxshow" nothing > /dev/null 2>&1 && fail "missing entry"
# Pack errors break the player's text into lines for the terminal, as list and cat do.
mkdir -p "$WORK/nodoc"
err=$("$DAXPACK" pack -o "$WORK/nodoc.dxshow" "$WORK/nodoc" 2>&1 >/dev/null) && fail "folder without a document packed"
case "$err" in *$'\r'*) fail "carriage return in: $err" ;; esac
[ "$(echo "$err" | head -1)" = 'Can`t Load .dax File' ] || fail "no document text: $err"
err=$("$DAXPACK" pack "$WORK/missing-source" 2>&1 >/dev/null) && fail "missing source packed"
[ "$(echo "$err" | head -1)" = "Slideshow File not Found" ] || fail "missing source text: $err"
echo "daxpack end to end: ok"
