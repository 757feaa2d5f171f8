#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that a player gets a working program folder,
# a menu entry the desktop accepts, and the icon in every size.
set -euo pipefail
build=${1:?build folder}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

folder="$prefix/lib/tavrello"
for f in tavrello tavrello-pack tavrello-generate tavrello-editor dbImages.mdb HAND-M.CUR; do
  [ -f "$folder/$f" ] || { echo "missing $folder/$f"; exit 1; }
done
for size in 32 48 128 256; do
  for icon in tavrello tavrello-editor; do
    [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] || { echo "missing ${size}px $icon icon"; exit 1; }
  done
done
entry="$prefix/share/applications/tavrello.desktop"
desktop-file-validate "$entry"
grep -qx "Exec=$folder/tavrello" "$entry" || { echo "Exec does not name the installed game"; exit 1; }
editor_entry="$prefix/share/applications/tavrello-editor.desktop"
desktop-file-validate "$editor_entry"
grep -qx "Exec=$folder/tavrello-editor %f" "$editor_entry" || { echo "Exec does not name the installed editor"; exit 1; }
[ -L "$prefix/bin/tavrello-editor" ] || { echo "no launcher link for the editor in bin/"; exit 1; }
QT_QPA_PLATFORM=offscreen "$prefix/bin/tavrello-editor" --version >/dev/null

# The installed database is a good one.
"$prefix/bin/tavrello-pack" check "$folder/dbImages.mdb" >/dev/null

# The game starts from the installed folder, through the link in bin/, and stays up.
QT_QPA_PLATFORM=offscreen "$prefix/bin/tavrello" >"$prefix/game.log" 2>&1 &
game=$!
sleep 2
if ! kill -0 "$game" 2>/dev/null; then
  echo "the installed game ended on its own:"; cat "$prefix/game.log"; exit 1
fi
kill "$game"
wait "$game" 2>/dev/null || true
[ ! -e "$folder/orig.jpg" ] && [ ! -e "$folder/mod.jpg" ]
echo "install: ok"
