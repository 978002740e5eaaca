"""A read-only share that drops out mid-read, as a network share or a USB
stick may: every read that reaches past a file's middle fails with EIO. Files
whose paths begin with "slow" (slow.exe, slow/…) never fail, but are read at
a USB 2 stick's pace.
usage: failing_share.py BACKING_DIR MOUNT_DIR (runs until unmounted)"""
import errno
import os
import sys
import time

from fusepy import FUSE, FuseOSError, Operations


SLOW_BYTES_PER_SECOND = 16 << 20


class FailingShare(Operations):
    def __init__(self, backing):
        self.backing = backing

    def _path(self, path):
        return os.path.join(self.backing, path.lstrip('/'))

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._path(path))
        except OSError as e:
            raise FuseOSError(e.errno)
        return {key: getattr(st, key) for key in
                ('st_mode', 'st_nlink', 'st_uid', 'st_gid', 'st_size', 'st_atime', 'st_mtime', 'st_ctime')}

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self._path(path))

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        return os.open(self._path(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        if path.startswith('/slow'):
            time.sleep(size / SLOW_BYTES_PER_SECOND)
        elif offset + size > os.fstat(fh).st_size // 2:
            raise FuseOSError(errno.EIO)
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)


FUSE(FailingShare(sys.argv[1]), sys.argv[2], foreground=True, nothreads=True, ro=True)
