# Shared by the scripts that run the installer: a private X display and a throwaway Wine prefix.
# Source it, then call vt_start_display and vt_make_prefix; vt_cleanup undoes both.

export WINEDEBUG=${WINEDEBUG:--all}
# Code page 932 comes from the Japanese locale; LC_ALL would override LANG if left as it is.
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
# No Mono or Gecko install prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

vt_xvfb_pid=""

vt_start_display() {
  local fifo_dir display_file
  fifo_dir=$(mktemp -d)
  display_file="$fifo_dir/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  vt_xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  if [ ! -s "$display_file" ]; then
    echo "wine-env: Xvfb did not start" >&2
    rm -rf "$fifo_dir"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -rf "$fifo_dir"
}

# vt_make_prefix DIR: a fresh 32-bit prefix whose dialog font maps to an installed Japanese face.
vt_make_prefix() {
  export WINEPREFIX="$1"
  export WINEARCH=win32
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Keep the prefix to itself: Wine links Documents, Desktop and the like to the host's home,
  # where an install into the proposed folder would otherwise land.
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
  done
  # Wine's own faces (Marlett draws the caption buttons) are not found where Debian puts them.
  cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # With no window manager on the private display, Wine would wait two seconds for one each
  # time a managed window hides (every message box): let Wine place its windows itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d 'IPAGothic' /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Gothic' /d 'IPAGothic' /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d 'IPAGothic' /f >/dev/null 2>&1
  wineserver -w
}

vt_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "$vt_xvfb_pid" ]; then
    kill "$vt_xvfb_pid" 2>/dev/null || true
    wait "$vt_xvfb_pid" 2>/dev/null || true
    vt_xvfb_pid=""
  fi
}
