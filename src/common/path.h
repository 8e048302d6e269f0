// Paths in the ANSI code page: backslashes found as whole characters, folders made level by level.
#ifndef SRC_COMMON_PATH_H
#define SRC_COMMON_PATH_H

// Whether byte starts a double-byte character in the code page the texts are in.
int IsLeadByte(unsigned char byte);

// Whether the last whole character of text is a backslash. A trail byte 0x5C of a
// double-byte character (ソ, 表, 能 ... in code page 932) is not one.
int EndsWithBackslash(const char *text);

// Cuts trailing backslash characters; a text made only of backslashes becomes empty.
void StripTrailingBackslashes(char *text);

// The folder that holds folder (both ending with a backslash): D:\a\b\ gives D:\a\.
// Returns 0, leaving out empty, when there is none or it does not fit size.
int ParentFolder(const char *folder, char *out, unsigned size);

// Whether every name of folder below its volume root is taken by the system as written: none is
// empty, "." or "..", ends with a dot or a blank (which the system drops), or holds a '/'
// (which the system reads as a backslash). Such a folder could name another place than it says,
// and the folders a run made could not be told from those it found.
int FolderNamesAreExact(const char *folder);

// Whether folder (ending with a backslash) names a place of its own whatever the current
// folder: a drive letter, colon and backslash (X:\...) or a share (\\server\share\...), with
// names taken as written. Relative texts, a bare root "\", device paths and characters that no
// folder name holds are refused.
int IsAbsoluteFolder(const char *folder);

// The root of the volume an absolute folder is on, "X:\" or "\\server\share\"; 0, leaving out
// empty, when folder is not absolute or the root does not fit size.
int VolumeRoot(const char *folder, char *out, unsigned size);

// Whether the root of the volume that folder (absolute) is on can be reached now: it exists and
// answers within a bound of about two seconds. A drive that is gone counts as away at once, one that
// does not answer (an offline network drive) after the bound, without holding the caller longer.
int VolumeAnswers(const char *folder);

// Whether dir has the form of an install folder: an absolute folder, then brand, a backslash,
// title and a backslash. Removal acts only on such a folder.
int IsInstallFolderOf(const char *dir, const char *brand, const char *title);

// Creates every missing folder of path, the last one too when path ends with a backslash,
// splitting only at whole backslash characters. Returns 1 when the folder exists afterwards.
// When created is given, it receives the highest level this call made (empty when it made none),
// so that a run that does not complete can take back exactly what it made.
int CreateFolderPath(const char *path, char *created = 0, unsigned createdSize = 0);

// The highest level of path (ending with a backslash) that does not exist yet, with its
// backslash, into out: the first folder CreateFolderPath would make. Empty when all exist.
void HighestMissingFolder(const char *path, char *out, unsigned size);

// path (the system's ANSI code page) as UTF-16; 0, leaving out empty, when it does not fit size.
int WideFromAnsiPath(const char *path, wchar_t *out, int size);

// A path the system gave wide, in the system's ANSI code page only when every character has its
// own form there: no best-fit look-alike (Zoë as Zoe) and no default character ('?'). Returns 0,
// leaving out empty, when it has no such form or does not fit size.
int AnsiFromWidePath(const wchar_t *wide, char *out, unsigned size);

// The special folder csidl (CSIDL_PERSONAL, ...) in the ANSI code page, by AnsiFromWidePath; 0 when
// the system cannot name it or it has no exact ANSI form.
int SpecialFolderAnsi(int csidl, char *out, unsigned size);

#endif
