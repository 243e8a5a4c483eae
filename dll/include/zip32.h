/* zip32.h -- interface of zip32.dll, the Zip library of Parcelo, version 2.0.0

   zip32.dll creates and updates Zip archives. It is a 32-bit Windows library: every entry
   point and every callback takes its arguments on the stack and removes them itself
   (WINAPI, __stdcall), and the exports carry their plain names (ZpInit, not _ZpInit@4).
   Texts crossing the interface are NUL-terminated ANSI (the system code page); inside,
   files are opened by their Unicode names, and member names are stored as UTF-8 (with the
   UTF-8 flag) when they are not ASCII.

   A caller makes three calls in this order, on one thread: ZpInit (the callbacks),
   ZpSetOptions (the options), ZpArchive (the work). ZpArchive blocks until the archive is
   written; every callback runs on the calling thread, from inside ZpArchive. A null
   callback slot is never called. The records below have exactly the layouts given, which
   the static assertions at the end prove.
*/
#ifndef PARCELO_ZIP32_H
#define PARCELO_ZIP32_H

#include <stddef.h>
#include <windows.h>

#ifdef __cplusplus
extern "C" {
/* No exception leaves an entry point. */
#define ZIP32_NOEXCEPT noexcept
#else
#define ZIP32_NOEXCEPT
#endif

/* Size of the text buffer handed to ZipPrintProc and ZipCommentProc: 4096 characters and
   their terminating NUL. */
#define ZIP_TEXT_BUFFER_SIZE 4097
/* Slots in a ZipNameList. */
#define ZIP_NAME_LIST_SLOTS 100

/* Status codes: those of the zip command-line tool. ZpArchive returns one of them. Where a
   code says "unchanged", an archive that existed is as it was before the call, and no
   temporary file is left beside it.
     ZIP32_OK            the archive was written (or was already up to date)
     ZIP32_BAD_ARCHIVE   the existing file is not a readable Zip archive; unchanged
     ZIP32_NO_MEMORY     out of memory; unchanged
     ZIP32_INTERNAL      an unexpected failure inside the library; unchanged
     ZIP32_CANCELLED     ZipServiceProc returned non-zero; unchanged
     ZIP32_TEMP_FILE     the new archive, complete, could not take the old one's place (the
                         old one is never removed first); unchanged
     ZIP32_READ_ARCHIVE  the existing archive could not be read; unchanged
     ZIP32_NOTHING_TO_DO no names, or with DeleteEntries no member matched
     ZIP32_NO_ARCHIVE    DeleteEntries on an archive that does not exist
     ZIP32_WRITE         writing the new archive failed (disk full, ...), or a name, extra
                         fields or a comment would be longer than the 65,535 bytes a Zip
                         header holds (the message names it); unchanged
     ZIP32_CREATE        no temporary file can be created beside the archive
     ZIP32_PARAMETERS    `archive` or `names` is NULL, `count` is negative or above
                         ZIP_NAME_LIST_SLOTS, or two different files would be stored under
                         one member name (the message names both); unchanged
     ZIP32_OPEN_INPUT    a listed file is missing or could not be read: it is named in a
                         message and the others were archived (if none could be, nothing
                         was written)
     ZIP32_UNSUPPORTED   Encrypt is set; unchanged */
#define ZIP32_OK 0
#define ZIP32_BAD_ARCHIVE 3
#define ZIP32_NO_MEMORY 4
#define ZIP32_INTERNAL 5
#define ZIP32_CANCELLED 9
#define ZIP32_TEMP_FILE 10
#define ZIP32_READ_ARCHIVE 11
#define ZIP32_NOTHING_TO_DO 12
#define ZIP32_NO_ARCHIVE 13
#define ZIP32_WRITE 14
#define ZIP32_CREATE 15
#define ZIP32_PARAMETERS 16
#define ZIP32_OPEN_INPUT 18
#define ZIP32_UNSUPPORTED 19

/* Receives one message: `length` characters at `buffer`, which holds ZIP_TEXT_BUFFER_SIZE
   bytes with a NUL after the text. Messages are lines ending in "\n"; longer ones come in
   pieces of at most 4096 characters. The result is ignored. */
typedef int(WINAPI* ZipPrintProc)(char* buffer, long length);
/* Never called: the library does not encrypt. */
typedef int(WINAPI* ZipPasswordProc)(char* buffer, int size, const char* prompt, const char* name);
/* Called once per ZpArchive when the switch Comment is set: `buffer` (ZIP_TEXT_BUFFER_SIZE
   bytes) holds the current archive comment; the callee returns a buffer holding the new
   comment (up to 4096 characters, ended by a NUL), or NULL to keep the old one. `size` is
   ZIP_TEXT_BUFFER_SIZE. */
typedef char*(WINAPI* ZipCommentProc)(char* buffer, unsigned long size);
/* Called once per file after it was added: `name` is the file's path in ANSI and `size`
   its length in bytes (2,147,483,647 for larger files). A non-zero result cancels: the
   archive is left as it was before the call, and ZpArchive returns ZIP32_CANCELLED. */
typedef int(WINAPI* ZipServiceProc)(const char* name, long size);

/* The callback table handed to ZpInit. */
typedef struct ZipCallbacks {
  ZipPrintProc Print;       /* offset 0 */
  ZipPasswordProc Password; /* offset 4 */
  ZipCommentProc Comment;   /* offset 8 */
  ZipServiceProc Service;   /* offset 12 */
} ZipCallbacks;

/* The options handed to ZpSetOptions. Switches are 0 (off) or non-zero (on). The library
   honours the ones marked so; the others are accepted and have no effect. */
typedef struct ZipOptions {
  char* Date;         /*   0 ignored */
  char* RootDir;      /*   4 honoured: relative names are taken from this folder */
  char* TempDir;      /*   8 ignored: the temporary file is always made beside the archive,
                                so that it can replace it by a rename */
  long Temp;          /*  12 ignored */
  long Suffix;        /*  16 ignored */
  long Encrypt;       /*  20 honoured: refused with ZIP32_UNSUPPORTED */
  long System;        /*  24 ignored */
  long Volume;        /*  28 ignored */
  long Extra;         /*  32 ignored */
  long NoDirEntries;  /*  36 honoured: no folder members */
  long ExcludeDate;   /*  40 ignored */
  long IncludeDate;   /*  44 ignored */
  long Verbose;       /*  48 ignored */
  long Quiet;         /*  52 honoured: no progress lines, only warnings and errors */
  long CrlfToLf;      /*  56 ignored */
  long LfToCrlf;      /*  60 ignored */
  long JunkDir;       /*  64 honoured: members get bare file names, without folders; two
                                files with one bare name are refused (ZIP32_PARAMETERS) */
  long Grow;          /*  68 ignored: existing archives are always updated */
  long Force;         /*  72 ignored */
  long Move;          /*  76 ignored: files are never deleted */
  long DeleteEntries; /*  80 honoured: the names are member patterns to remove */
  long Update;        /*  84 honoured: add new files, replace members only by newer files */
  long Freshen;       /*  88 honoured: replace members only by newer files, add nothing */
  long JunkSfx;       /*  92 ignored */
  long LatestTime;    /*  96 ignored */
  long Comment;       /* 100 honoured: ask ZipCommentProc for the archive comment */
  long Offsets;       /* 104 ignored */
  long Privilege;     /* 108 ignored */
  long Encryption;    /* 112 ignored */
  long Recurse;       /* 116 honoured: add what listed folders contain */
  long Repair;        /* 120 ignored */
  char Level;         /* 124 honoured: 1-9 or '1'-'9' deflate at that level, '0' stores;
                                0 (or anything else) means level 6 */
  char Padding[3];    /* 125 */
} ZipOptions;

/* The names handed to ZpArchive: full or relative paths of files and folders, in ANSI.
   The last part of a name may hold the wildcards * and ?. */
typedef struct ZipNameList {
  char* Names[ZIP_NAME_LIST_SLOTS];
} ZipNameList;

/* Hands over the callbacks (the record is copied; NULL clears them).
   Returns ZIP32_OK. */
int WINAPI ZpInit(const ZipCallbacks* callbacks) ZIP32_NOEXCEPT;

/* Hands over the options (the record and its texts are copied; NULL resets every option
   to zero). Returns ZIP32_OK. */
int WINAPI ZpSetOptions(const ZipOptions* options) ZIP32_NOEXCEPT;

/* Creates the archive `archive` from the first `count` names of `names` (a NULL slot
   ends the list early), or updates it if it exists: members are added and replaced by
   name (replacements keep their place) and the other members are kept. The archive is
   written to a temporary file in its folder and renamed over it only when complete; on
   every failure the previous archive is untouched and the temporary file removed.
   Member names: the path as given without drive, root and "." or ".." parts, or the bare
   file name with JunkDir. Methods: deflate, or stored where deflate does not shrink the
   data. Zip64 records are written exactly when needed. Each member keeps its file's
   read-only, hidden, system and archive attributes (external attributes) and its
   modification, access and creation times (an NTFS extra field, to 100 ns, beside the DOS
   time and a Unix timestamp).
   Returns a status code (above). */
int WINAPI ZpArchive(long count, const char* archive, const ZipNameList* names) ZIP32_NOEXCEPT;

#ifdef __cplusplus
}
#endif

/* The layouts, as the interface fixes them for 32-bit Windows. */
#if defined(_WIN64)
/* A 64-bit build of the same sources only runs the tests where 32-bit code cannot run. */
#define PARCELO_ZIP32_LAYOUT(condition) extern int parcelo_zip32_layout_unchecked
#elif defined(__cplusplus)
#define PARCELO_ZIP32_LAYOUT(condition) static_assert(condition, #condition)
#else
#define PARCELO_ZIP32_LAYOUT(condition) _Static_assert(condition, #condition)
#endif
PARCELO_ZIP32_LAYOUT(sizeof(void*) == 4);
PARCELO_ZIP32_LAYOUT(sizeof(long) == 4);
PARCELO_ZIP32_LAYOUT(sizeof(ZipCallbacks) == 16);
PARCELO_ZIP32_LAYOUT(offsetof(ZipCallbacks, Print) == 0);
PARCELO_ZIP32_LAYOUT(offsetof(ZipCallbacks, Password) == 4);
PARCELO_ZIP32_LAYOUT(offsetof(ZipCallbacks, Comment) == 8);
PARCELO_ZIP32_LAYOUT(offsetof(ZipCallbacks, Service) == 12);
PARCELO_ZIP32_LAYOUT(sizeof(ZipOptions) == 128);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Date) == 0);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, RootDir) == 4);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, TempDir) == 8);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Temp) == 12);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Encrypt) == 20);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, NoDirEntries) == 36);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Quiet) == 52);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, LfToCrlf) == 60);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, JunkDir) == 64);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Grow) == 68);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, DeleteEntries) == 80);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Update) == 84);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Freshen) == 88);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Comment) == 100);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Recurse) == 116);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Repair) == 120);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Level) == 124);
PARCELO_ZIP32_LAYOUT(offsetof(ZipOptions, Padding) == 125);
PARCELO_ZIP32_LAYOUT(sizeof(ZipNameList) == 400);
PARCELO_ZIP32_LAYOUT(offsetof(ZipNameList, Names[3]) == 12);
#undef PARCELO_ZIP32_LAYOUT

#endif /* PARCELO_ZIP32_H */
