#!/usr/bin/python3
"""faulty_fs.py SOURCE MOUNTPOINT CONTROL: SOURCE read-only at MOUNTPOINT, failing as CONTROL says
at each call: "" as it is, "gone" every call with EIO (a disc taken out), "NAME OFFSET" the reads of
/NAME that reach OFFSET with EIO (a scratch there), "slow SECONDS" every look at a name answered
that late (a drive that does not answer), "unlisted PATH" every listing of /PATH refused with EACCES
(a folder this user may not list)."""
import errno
import os
import sys
import time

from fusepy import FUSE, FuseOSError, Operations


class FaultyDisc(Operations):
    def __init__(self, source, control):
        self.source = source
        self.control = control

    def _fault(self):
        try:
            with open(self.control) as text:
                return text.read().split()
        except OSError:
            return []

    def _path(self, path):
        fault = self._fault()
        if fault == ["gone"]:
            raise FuseOSError(errno.EIO)
        if len(fault) == 2 and fault[0] == "slow":
            time.sleep(float(fault[1]))
        return os.path.join(self.source, path.lstrip("/"))

    def getattr(self, path, fh=None):
        st = os.lstat(self._path(path))
        return {key: getattr(st, key) for key in dir(st) if key.startswith("st_")}

    def opendir(self, path):
        try:
            with open(self.control) as text:
                words = text.read().split(None, 1)
        except OSError:
            words = []
        if len(words) == 2 and words[0] == "unlisted" and path == "/" + words[1].strip():
            raise FuseOSError(errno.EACCES)
        self._path(path)
        return 0

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def statfs(self, path):
        st = os.statvfs(self._path(path))
        return {key: getattr(st, key) for key in dir(st) if key.startswith("f_")}

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        return os.open(self._path(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        fault = self._fault()
        if fault == ["gone"] or (len(fault) == 2 and path == "/" + fault[0] and offset + size > int(fault[1])):
            raise FuseOSError(errno.EIO)
        # pread: the calls come from several threads, which a seek and a read would race across.
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)
        return 0


if __name__ == "__main__":
    source, mountpoint, control = sys.argv[1:4]
    # direct_io and no attribute or entry caching: every read and every look at a name reaches this
    # process, none is served from the kernel's cache.
    FUSE(FaultyDisc(source, control), mountpoint, foreground=True, ro=True, direct_io=True, nothreads=False,
         attr_timeout=0, entry_timeout=0)
