# Shared by scripts/test-windows.sh and scripts/screenshots.sh: the Windows
# toolchain, Wine with the Japanese ANSI code page 932, a private Wine prefix
# under build/ and a virtual X display. Source it after scripts/common.sh.

# mingw-w64, Wine and Xvfb, installed when missing (Debian 12, as root).
ensure_windows_tools() {
  ensure_packages cmake ninja-build googletest locales xvfb \
    g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix wine wine64 fonts-wine "$@"
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

# Starts Xvfb on a free display and sets up Wine's environment. Everything
# it starts is stopped by stop_wine_session (run it from an EXIT trap).
start_wine_session() {
  export WINEPREFIX="$PWD/build/wine"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono or Gecko installer prompts, no menu entries written into the
  # home folder, and no web browser started by a test that presses a link.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winebrowser.exe=d"
  export LC_ALL=ja_JP.UTF-8
  unset WAYLAND_DISPLAY

  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  VELMORA_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

  wineserver -k 2>/dev/null || true
  if [ ! -f "$WINEPREFIX/.velmora-ready" ]; then
    echo "== creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    # Without a window manager on the virtual display, managed windows make
    # Wine wait two seconds for every window that is hidden; unmanaged ones
    # are drawn and closed by Wine itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.velmora-ready"
  fi
  # One wine server for the whole session instead of one per program run.
  wineserver -p
  # Wine's background services (and the desktop window) start with the first
  # program and stay; started here, they do not hold on to the output pipe
  # of a test runner, which would then wait for them forever.
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
