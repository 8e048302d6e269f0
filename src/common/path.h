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

// Creates every missing folder of path, the last one too when path ends with a backslash,
// splitting only at whole backslash characters. Returns 1 when the folder exists afterwards.
int CreateFolderPath(const char *path);

#endif
