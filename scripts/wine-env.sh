# Shared by the run command, the Windows stage and the screenshot script: the
# Windows toolchain, Wine with the Japanese ANSI code page 932 and a Japanese
# font, private Wine prefixes under build/ and a virtual X display. Source it
# after scripts/common.sh.

# mingw-w64, Wine, Xvfb and a Japanese font, installed when missing (Debian 12,
# as root). Wine ships no Japanese font: without one every Japanese text of
# the dialogs is drawn as empty boxes.
ensure_windows_tools() {
  ensure_packages cmake ninja-build googletest locales xvfb \
    g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix wine wine64 fonts-wine fonts-ipafont-gothic "$@"
}
# The Japanese locale: with LC_ALL=ja_JP.UTF-8 Wine's ANSI code page is 932.
ensure_japanese_locale() {
  if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    echo "== generating the ja_JP.UTF-8 locale"
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
  fi
}

# The environment every Wine run of the project uses, with the prefix in
# $1: 64-bit, code page 932, no Mono or Gecko installer prompts, no menu
# entries written into the home folder, and no web browser started.
use_wine_prefix() {
  export WINEPREFIX="$1"
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winebrowser.exe=d"
  export LC_ALL=ja_JP.UTF-8
  unset WAYLAND_DISPLAY
}

# What prepare_wine_prefix puts into a prefix. A prefix records the version it
# was set up with; raise this number when the setup changes, and prefixes
# made before are brought up to date the next time they are used.
velmora_prefix_setup=2

# Creates the prefix $WINEPREFIX when it is missing and sets it up:
#   - the dialogs' fonts ("MS UI Gothic", and "MS Shell Dlg" that Wine's own
#     dialogs ask for) are substituted by IPA P Gothic, a proportional
#     Japanese face like them; the fixed-pitch "MS Gothic" by IPA Gothic. The
#     replacements make the names known to Wine's font linking as well, which
#     draws the Japanese of captions, menus and message boxes;
#   - with "unmanaged", windows are not handed to a window manager (for a
#     virtual display that has none: managed windows make Wine wait two
#     seconds for every window that is hidden).
prepare_wine_prefix() {
  local unmanaged=${1:-}
  local marker="$WINEPREFIX/.velmora-setup"
  [ "$(cat "$marker" 2>/dev/null)" = "$velmora_prefix_setup${unmanaged:+ unmanaged}" ] && return 0
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
  else
    echo "== updating the Wine prefix $WINEPREFIX"
  fi
  local substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  local replacements='HKCU\Software\Wine\Fonts\Replacements'
  local face
  for face in "MS UI Gothic" "MS Shell Dlg" "MS Shell Dlg 2"; do
    wine reg add "$substitutes" /v "$face" /d IPAPGothic /f >/dev/null 2>&1
  done
  for face in "MS UI Gothic" "MS PGothic" "ＭＳ Ｐゴシック"; do
    wine reg add "$replacements" /v "$face" /d IPAPGothic /f >/dev/null 2>&1
  done
  for face in "MS Gothic" "ＭＳ ゴシック"; do
    wine reg add "$replacements" /v "$face" /d IPAGothic /f >/dev/null 2>&1
  done
  if [ -n "$unmanaged" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  fi
  # The registry reaches the disk when the server ends.
  wineserver -w
  echo "$velmora_prefix_setup${unmanaged:+ unmanaged}" >"$marker"
  rm -f "$WINEPREFIX/.velmora-ready"  # the marker of the first setup
}

# Starts Xvfb on a display of its own choosing and one persistent Wine server
# for the prefix build/wine, and waits until both answer. Everything it starts
# is stopped by stop_wine_session (run it from an EXIT trap).
start_wine_session() {
  use_wine_prefix "$PWD/build/wine"
  # Xvfb picks a free display number and writes it once it accepts
  # connections, so that stages of several checkouts never share a display.
  local display_fd
  exec {display_fd}< <(exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
  VELMORA_XVFB_PID=$!
  local number=""
  read -r -u "$display_fd" number || true
  exec {display_fd}<&-
  if [ -z "$number" ]; then
    echo "FAIL: the virtual display (Xvfb) did not start"
    return 1
  fi
  export DISPLAY=":$number"

  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  prepare_wine_prefix unmanaged
  # One wine server for the whole session instead of one per program run.
  wineserver -p
  # Wine's background services (and the desktop window) start with the first
  # program and stay; started here, they do not hold on to the output pipe
  # of a test runner, which would then wait for them forever. The program
  # returns once they are up.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

stop_wine_session() {
  wineserver -k 2>/dev/null || true
  if [ -n "${VELMORA_XVFB_PID:-}" ]; then
    kill "$VELMORA_XVFB_PID" 2>/dev/null || true
    wait "$VELMORA_XVFB_PID" 2>/dev/null || true
  fi
}

build_windows() {
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j"$(nproc)"
}
