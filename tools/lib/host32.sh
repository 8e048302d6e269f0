# Whether this host runs 32-bit x86 code: source it and call vt_host_runs_32bit, which answers
# through its status within a few seconds, sets VT_HOST_RUNS_32BIT to yes or no and, for a no,
# vt_host_32bit_reason to why.
# VT_HOST_RUNS_32BIT=yes|no set beforehand forces the answer, so both paths can be tried anywhere.
# Some kernels (ia32_emulation=0) and hypervisors run no 32-bit code: a 32-bit program fails with
# "Exec format error". Where one runs only through an emulator registered with binfmt_misc
# (qemu-user), 32-bit Wine takes minutes to start a prefix, so that counts as no too.
vt_host_runs_32bit() {
  case "${VT_HOST_RUNS_32BIT:-}" in
    yes) return 0 ;;
    no) vt_host_32bit_reason=${vt_host_32bit_reason:-"VT_HOST_RUNS_32BIT=no"}; return 1 ;;
  esac
  VT_HOST_RUNS_32BIT=no
  vt_host_32bit_reason="/usr/lib/wine/wine does not start"
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    # An enabled entry whose magic is the ELF header of an i386 program.
    if [ -f "$entry" ] && grep -qx enabled "$entry" 2>/dev/null &&
       grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null; then
      vt_host_32bit_reason="32-bit programs run only through the emulator ${entry##*/} (binfmt_misc)"
      export VT_HOST_RUNS_32BIT
      return 1
    fi
  done
  # Wine's 32-bit loader is a 32-bit program: it prints its version only where such code runs.
  if [ -x /usr/lib/wine/wine ] && timeout 5 /usr/lib/wine/wine --version >/dev/null 2>&1; then
    VT_HOST_RUNS_32BIT=yes
  fi
  export VT_HOST_RUNS_32BIT
  [ "$VT_HOST_RUNS_32BIT" = yes ]
}
