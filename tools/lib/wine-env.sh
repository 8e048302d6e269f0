# Shared by the scripts that run the installer: a private X display, a throwaway Wine prefix and
# the disc image as a mounted disc. Source it, then call vt_start_display, vt_make_prefix and
# vt_attach_image; vt_cleanup undoes all three. vt_use_build picks the programs' build.

export WINEDEBUG=${WINEDEBUG:--all}
# The system code page of the prefixes made from here on follows the locale: 932 from ja_JP.UTF-8
# (the default), 1252 from en_US.UTF-8, 936 from zh_CN.UTF-8. LC_ALL would override LANG if left
# as it is.
vt_use_locale() {
  export LANG="$1"
  export LC_ALL="$1"
}
vt_use_locale ja_JP.UTF-8
# No Mono or Gecko install prompts while the prefix is made. No menu builder either: Wine starts
# one for every shortcut written into the Start menu, to make a menu entry of the host's, and one
# that is still running (waiting for the program that wrote the shortcut) was seen to keep an
# emptied shortcut folder from being removed.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

vt_lib_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
vt_plain_path=${PATH//"$vt_lib_dir/wine64:"/}

# vt_use_build pe32|x64: the PE32 programs (through /usr/bin/wine, which picks Wine's 32-bit loader)
# or the x86-64 build for testing, whose programs, Wine's own scripts and the tests start through
# the 64-bit loader. Sets vt_build_dir to the build's folder.
vt_use_build() {
  local root
  root=$(cd "$vt_lib_dir/../.." && pwd)
  if [ "$1" = x64 ]; then
    export PATH="$vt_lib_dir/wine64:$vt_plain_path"
    export WINELOADER=/usr/lib/wine/wine64
    vt_build_dir="$root/build/x64"
  else
    export PATH="$vt_plain_path"
    unset WINELOADER
    vt_build_dir="$root/build"
  fi
}

vt_xvfb_pid=""
vt_image_mount=""
vt_image_device=""

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

# vt_make_prefix DIR [win32|win64]: a fresh prefix (32-bit unless told) whose dialog font maps to
# an installed Japanese face. In a 64-bit one the 32-bit programs run under WOW64. Where
# VT_PREFIX_TEMPLATES names a folder, the first prefix of each kind is kept there and later ones
# are copies of it: making one takes far longer than copying it.
vt_make_prefix() {
  export WINEPREFIX="$1"
  export WINEARCH="${2:-win32}"
  local template=""
  if [ -n "${VT_PREFIX_TEMPLATES:-}" ]; then
    template="$VT_PREFIX_TEMPLATES/$WINEARCH"
    if [ -d "$template" ]; then
      rm -rf "$WINEPREFIX"
      cp -a "$template" "$WINEPREFIX"
      return 0
    fi
  fi
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
  # Under another language the captions and message boxes are drawn in Tahoma, which has no Japanese
  # glyphs: Windows links it to a Japanese face for the characters it lacks, and so does this.
  local face
  for face in Tahoma 'Tahoma Bold' 'Microsoft Sans Serif' 'Microsoft Sans Serif Bold'; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
      /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null 2>&1
  done
  wineserver -w
  if [ -n "$template" ]; then
    mkdir -p "$VT_PREFIX_TEMPLATES"
    cp -a "$WINEPREFIX" "$template.part" && mv "$template.part" "$template"
  fi
}

# vt_attach_image IMAGE MNT: mounts an ISO 9660 image read-only at MNT (FUSE) and attaches it
# to a read-only loop device, which Wine reads the volume label and serial from. Sets
# vt_image_mount and vt_image_device; returns 1, with both undone, where either is refused.
# Several images may be attached at once; vt_detach_image undoes them all.
vt_image_mounts=()
vt_image_devices=()
vt_attach_image() {
  mkdir -p "$2"
  vt_image_mount=""
  vt_image_device=""
  if ! fuseiso "$1" "$2" >/dev/null 2>&1; then
    return 1
  fi
  vt_image_mounts+=("$2")
  if ! vt_image_device=$(losetup -r -f --show "$1" 2>/dev/null); then
    vt_image_device=""
    fusermount -u "$2" 2>/dev/null || fusermount -u -z "$2" 2>/dev/null || true
    unset 'vt_image_mounts[-1]'
    return 1
  fi
  vt_image_mount="$2"
  vt_image_devices+=("$vt_image_device")
}

# vt_map_image LETTER: the attached image as CD drive LETTER of $WINEPREFIX, for the prefix's
# services to read when they start.
vt_map_image() {
  ln -sfn "$vt_image_mount" "$WINEPREFIX/dosdevices/$1:"
  ln -sfn "$vt_image_device" "$WINEPREFIX/dosdevices/$1::"
  wine reg add 'HKLM\Software\Wine\Drives' /v "$1:" /d cdrom /f >/dev/null 2>&1
}

vt_detach_image() {
  local device mount
  for device in "${vt_image_devices[@]}"; do losetup -d "$device" 2>/dev/null || true; done
  # Lazily where a process that was ended a moment ago still holds a file of it.
  for mount in "${vt_image_mounts[@]}"; do
    fusermount -u "$mount" 2>/dev/null || fusermount -u -z "$mount" 2>/dev/null || true
  done
  vt_image_devices=()
  vt_image_mounts=()
  vt_image_mount=""
  vt_image_device=""
}

vt_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  vt_detach_image
  if [ -n "$vt_xvfb_pid" ]; then
    kill "$vt_xvfb_pid" 2>/dev/null || true
    wait "$vt_xvfb_pid" 2>/dev/null || true
    vt_xvfb_pid=""
  fi
}
