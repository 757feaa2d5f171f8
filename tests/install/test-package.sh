#!/usr/bin/env bash
# Packs the build as a Debian package and checks it as a distribution and a player would: the files
# it installs, dependencies computed from the binaries, lintian, the desktop entry and AppStream
# validators, then the unpacked game played by a player who can't write its program folder.
set -euo pipefail
build=${1:?build folder}
driver=${2:?installed-game test program}
version=${3:?version}
work=$(mktemp -d)
chmod 755 "$work"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "package: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb="$work/out/tavrello_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$work/out")"
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"

dpkg-deb -x "$deb" "$work/root"
root="$work/root"
folder="$root/usr/lib/tavrello"
for f in usr/lib/tavrello/tavrello usr/lib/tavrello/tavrello-pack usr/lib/tavrello/tavrello-editor \
         usr/lib/tavrello/dbImages.mdb usr/lib/tavrello/HAND-M.CUR usr/lib/tavrello/tavrello-generate usr/games/tavrello \
         usr/bin/tavrello-pack usr/bin/tavrello-editor \
         usr/share/applications/tavrello.desktop usr/share/applications/tavrello-editor.desktop \
         usr/share/metainfo/org.example.tavrello.metainfo.xml \
         usr/share/man/man6/tavrello.6.gz usr/share/man/man1/tavrello-pack.1.gz \
         usr/share/man/man1/tavrello-editor.1.gz \
         usr/share/doc/tavrello/copyright usr/share/doc/tavrello/changelog.gz; do
  [ -e "$root/$f" ] || fail "missing /$f"
done
for size in 32 48 128 256; do
  for icon in tavrello tavrello-editor; do
    [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] || fail "missing ${size}px $icon icon"
  done
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libmdb; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

desktop-file-validate "$root/usr/share/applications/tavrello.desktop"
desktop-file-validate "$root/usr/share/applications/tavrello-editor.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.example.tavrello.metainfo.xml" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log"; fail "AppStream metadata does not validate"; }
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian reports errors"; }
  grep -E '^[WE]:' "$work/lintian.log" | sed 's/^/lintian: /' || true
else
  echo "package: lintian is not installed, skipped (scripts/deps installs it)"
fi
# Every program answers without a display, as in a package build or over ssh.
for program in usr/games/tavrello usr/bin/tavrello-editor usr/bin/tavrello-pack; do
  name=$(basename "$program")
  [ "$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$root/$program" --version)" = "$name $version" ] ||
    fail "$name --version"
done

# A player who can't write the program folder: root drops to nobody; anyone else is kept out by
# taking away the write bits.
before=$(cd "$folder" && ls -A)
cp "$driver" "$work/installed-game-test"
chmod 755 "$work/installed-game-test"
if [ "$(id -u)" -eq 0 ]; then
  as_player=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  as_player=()
  chmod -R a-w "$folder"
fi
player_env=(env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen
            HOME="$work/home" TAVRELLO_INSTALLED_FOLDER="$folder" ASAN_OPTIONS=detect_leaks=0)
mkdir -m 1777 "$work/home" "$work/tmp"
"${as_player[@]}" "${player_env[@]}" "$work/installed-game-test" || fail "the unpacked game did not play"

# The installed program itself, through its launcher, starts and stays up for that player: on the
# default pairs and on an author's database in a folder of theirs.
mkdir -p "$work/home/my pairs; x"
cp "$folder/dbImages.mdb" "$work/home/my pairs; x/garden.mdb"
chmod -R a+rX "$work/home/my pairs; x"
for database in "" "$work/home/my pairs; x/garden.mdb"; do
  "${as_player[@]}" "${player_env[@]}" "$root/usr/games/tavrello" ${database:+"$database"} >"$work/game.log" 2>&1 &
  game=$!
  sleep 2
  kill -0 "$game" 2>/dev/null || { cat "$work/game.log"; fail "the installed game ended on its own (${database:-default pairs})"; }
  kill "$game"
  wait "$game" 2>/dev/null || true
done
[ "$(cd "$folder" && ls -A)" = "$before" ] || fail "the program folder changed: $(cd "$folder" && ls -A)"
echo "package: ok"
