/* unzip32.h -- interface of unzip32.dll, the Unzip library of Parcelo, version 2.0.0

   unzip32.dll lists, tests and extracts Zip archives. It is a 32-bit Windows library:
   every entry point and every callback takes its arguments on the stack and removes them
   itself (WINAPI, __stdcall), and the exports carry their plain names. Texts crossing the
   interface are NUL-terminated ANSI (the system code page). A member's name is read, in
   this order: as UTF-8 when the archive flags it so (bit 11); from a Unicode path extra
   field (0x7075, version 1) whose CRC-32 matches the stored name (a stale one is ignored);
   as UTF-8 when the writer was Unix or macOS (made-by 3, 19) and the bytes are valid UTF-8;
   otherwise in the system's OEM code page (GetOEMCP), as Windows' own compressed folders
   read it. Names from DOS and Windows writers are never guessed to be UTF-8: there the OEM
   code page is what the writer meant, and its text can be valid UTF-8 by chance. In archives from DOS and Windows writers (made-by
   0, 10, 11, 14) a backslash separates folders; the safety rules then judge the resulting
   path ("..\evil.txt" and "\abs" stay refused), and elsewhere a backslash is refused. The
   local header's name must mean the same as the central one. Callbacks receive names
   converted to ANSI (a character the code page lacks becomes '?'), while extraction writes
   the true Unicode names to disk.

   Wiz_SingleEntryUnzip blocks until the work is done; every callback runs on the calling
   thread, from inside that call. A null callback slot is never called. Archives are
   treated as hostile: extraction never writes outside the target folder, never creates or
   follows links, refuses unsafe names, overlapping members and sizes or ratios that cannot
   be true, and checks every size and CRC. A file that replaces nothing is created under
   its final name and removed again if its member fails; a file that replaces one is
   written under a temporary name beside it and renamed over it only when the member has
   been verified. So a failed member leaves no file, and an existing file is never left
   half replaced. A process killed during extraction can leave, in the target folder, the
   files that were being written at that moment, incomplete under their final names, and
   temporary files beside them (".pz" followed by hex digits and ".tmp"), besides the members
   already finished.
   The records below have exactly the layouts given, which the static assertions prove.

   Encrypted members are read with the password UnzipPasswordProc gives: PKWARE's traditional
   encryption ("ZipCrypto") and WinZip AES (method 99: AES-128, -192 and -256, AE-1 and
   AE-2), over every method read. PKWARE's strong encryption (general-purpose bit 6), an
   encrypted central directory (bit 13) and an AES extra field of another version, vendor or
   strength are refused (UNZIP32_UNSUPPORTED). Every check of plain members holds for the
   data inside; an AES member's authentication code is checked, in constant time, before
   its file counts as extracted. Passwords and keys live in memory only while a call runs
   and are wiped afterwards; nothing of them is printed or written.
*/
#ifndef PARCELO_UNZIP32_H
#define PARCELO_UNZIP32_H

#include <stddef.h>
#include <windows.h>

#ifdef __cplusplus
extern "C" {
/* No exception leaves an entry point. */
#define UNZIP32_NOEXCEPT noexcept
#else
#define UNZIP32_NOEXCEPT
#endif

/* Status codes: those of the unzip command-line tool. */
/* clang-format off: the codes and their comments in columns */
#define UNZIP32_OK 0
#define UNZIP32_WARNING 1         /* links in the archive were not created; all else done */
#define UNZIP32_MEMBER_ERROR 2    /* a member failed or was refused; the others were done */
#define UNZIP32_DIRECTORY_ERROR 3 /* the central directory is damaged; nothing was done */
#define UNZIP32_NO_MEMORY 5
#define UNZIP32_NOT_FOUND 9   /* no archive of that name, or not a Zip archive */
#define UNZIP32_PARAMETERS 10 /* a null option record or a negative count */
#define UNZIP32_NO_MATCH 11   /* an include pattern matched no member */
#define UNZIP32_DISK_FULL 50  /* the disk filled up; extraction stopped there */
#define UNZIP32_CANCELLED 80  /* the service callback returned non-zero */
#define UNZIP32_UNSUPPORTED                                \
  81 /* a member uses an encryption not read or an      \
        unknown method, or needs more memory than allowed */
#define UNZIP32_BAD_PASSWORD 82   /* encrypted members were skipped or had a wrong password,
                                     and nothing else failed; the others were done */
/* clang-format on */

/* Receives one message: `length` characters at `text`, followed by a NUL. Messages are
   lines ending in "\n". Errors always come; other lines only with Quiet 0. With ToStdout
   the members' bytes come this way too, in pieces. The result is ignored. */
typedef int(WINAPI* UnzipPrintProc)(char* text, unsigned long length);
/* Never called. */
typedef void(WINAPI* UnzipSoundProc)(void);
/* With PromptOverwrite, called before an existing file would be replaced, with its path;
   a non-zero result replaces it, zero keeps it. */
typedef int(WINAPI* UnzipReplaceProc)(char* name);
/* Called while extracting or testing when an encrypted member is met and no password given
   so far fits it; never while listing. `name` is the member's name in ANSI, `prompt` is
   UNZIP32_PASSWORD_PROMPT the first time a member asks and UNZIP32_PASSWORD_AGAIN after a
   password that did not fit it (at most three tries a member; then it fails as a wrong
   password). The password is checked first against the few bytes before the member's data
   (the traditional header's check byte, or the AES password verifier); a password that
   passes and then fails on the data (its CRC or authentication code) fails the member as a
   wrong password without asking again: a wrong password and damaged data look alike there,
   and no file is left either way. Results:
     UNZIP32_PASSWORD_GIVEN     `buffer` holds the password, NUL-terminated, at most size - 1
                                bytes; a password that fits is kept for the rest of the archive
     UNZIP32_PASSWORD_SKIP      skip this member
     UNZIP32_PASSWORD_SKIP_ALL  skip it and every further encrypted member (any other result
                                counts as this)
   A null slot skips every encrypted member. */
typedef int(WINAPI* UnzipPasswordProc)(char* buffer, int size, const char* prompt,
                                       const char* name);
#define UNZIP32_PASSWORD_GIVEN 0
#define UNZIP32_PASSWORD_SKIP (-1)
#define UNZIP32_PASSWORD_SKIP_ALL (-2)
#define UNZIP32_PASSWORD_PROMPT "Enter password: "
#define UNZIP32_PASSWORD_AGAIN "Password incorrect. Enter password: "
/* Called once per member while listing (ListOnly), in the archive's order:
     uncompressedSize, compressedSize  in bytes (4,294,967,295 for larger members)
     factor           percent saved by compression, 0 to 100
     month, day, year, hour, minute    the member's DOS time stamp (year with 4 digits)
     flag             'd' for a folder, ' ' for a file
     name             the member's name in ANSI
     method           the member's method, one of those read: "Stored"; "Shrunk" (1);
                      "Reduce1" to "Reduce4" (2 to 5, compression factors 1 to 4);
                      "Implode" (6); "Defl:N" (8; or "Defl:X", "Defl:F", "Defl:S" by the
                      level the archive records); "Deflate64" (9), "BZip2" (12),
                      "LZMA" (14), "Zstd" (93, and 20, its earlier number), "XZ" (95),
                      "PPMd" (98, variant I); "Unk:NNN" for any other method number; for a
                      WinZip AES member (99), that of the data inside
     crc              the CRC-32 the archive records
     encrypted        'E' for an encrypted member, ' ' otherwise */
typedef void(WINAPI* UnzipEntryProc)(unsigned long uncompressedSize, unsigned long compressedSize,
                                     unsigned factor, unsigned month, unsigned day, unsigned year,
                                     unsigned hour, unsigned minute, char flag, char* name,
                                     char* method, unsigned long crc, char encrypted);
/* Called once per member while extracting or testing, after the member was handled
   (written, refused or skipped), with its name in ANSI and its uncompressed size
   (4,294,967,295 for larger members). A non-zero result cancels: Wiz_SingleEntryUnzip
   returns UNZIP32_CANCELLED, and the files already written stay. */
typedef int(WINAPI* UnzipServiceProc)(char* name, unsigned long size);

/* While extracting or testing, all lines about a member are printed before UnzipServiceProc
   is called for it. A member not handled completely gets exactly one of these, whatever
   Quiet says:
     UNZIP32_FAILED_LINE name ": " reason "\n"   it failed or was refused; no file was written
     UNZIP32_SKIPPED_LINE name ": " reason "\n"  a symbolic link, not created (UNZIP32_WARNING)
   `name` being the text UnzipServiceProc then receives. A member that stops the run (the disk
   is full) gets its line but no UnzipServiceProc call. Lines about the archive as a whole may
   begin with the same words without naming a member. */
#define UNZIP32_FAILED_LINE "error: "
#define UNZIP32_SKIPPED_LINE "skipping: "
/* The reasons of the UNZIP32_FAILED_LINE of an encrypted member that was skipped (no password
   given, or UnzipPasswordProc said to skip it) and of one whose three passwords were wrong. */
#define UNZIP32_NO_PASSWORD_REASON "no password was given"
#define UNZIP32_WRONG_PASSWORD_REASON "wrong password"

/* The options handed to Wiz_SingleEntryUnzip. Switches are 0 (off) or non-zero (on). */
typedef struct UnzipOptions {
  long OnlyNewer;         /*  0 write a file only if the member is newer than it */
  long SpaceToUnderscore; /*  4 blanks in names become '_' */
  long PromptOverwrite;   /*  8 ask UnzipReplaceProc before replacing a file */
  long Quiet;             /* 12 0 all messages; 1 and 2 only warnings and errors */
  long ToStdout;          /* 16 hand the members' bytes to UnzipPrintProc, write nothing */
  long TestOnly;          /* 20 check every member, write nothing */
  long ListOnly;          /* 24 list the members through UnzipEntryProc, write nothing */
  long Freshen;           /* 28 replace only existing files, by newer members */
  long ShowComment;       /* 32 print the archive comment */
  long UseFolders;        /* 36 recreate the stored folders; 0 writes bare file names */
  long Overwrite;         /* 40 replace existing files without asking */
  long ConvertText;       /* 44 ignored: bytes are written as stored */
  long VerboseInfo;       /* 48 ignored */
  long IgnoreCase;        /* 52 patterns match regardless of ASCII case */
  long Privilege;         /* 56 ignored: no owners or access lists are restored */
  char* ZipFileName;      /* 60 the archive's path */
  char* ExtractDir;       /* 64 the target folder (created if missing); NULL = the current
                                 folder */
} UnzipOptions;

/* The callback table, followed by totals that the library fills in on every call that
   could read the archive (zero otherwise), over the selected members. */
typedef struct UnzipCallbacks {
  UnzipPrintProc Print;         /*  0 */
  UnzipSoundProc Sound;         /*  4 */
  UnzipReplaceProc Replace;     /*  8 */
  UnzipPasswordProc Password;   /* 12 */
  UnzipEntryProc Message;       /* 16 */
  UnzipServiceProc Service;     /* 20 */
  unsigned long TotalSizeComp;  /* 24 compressed bytes (saturating at 4,294,967,295) */
  unsigned long TotalSize;      /* 28 uncompressed bytes (saturating likewise) */
  unsigned long CompFactor;     /* 32 percent saved, 0 to 100 */
  unsigned long NumMembers;     /* 36 members */
  unsigned short CommentLength; /* 40 length of the archive comment */
} UnzipCallbacks;

/* The version record filled by UzpVersion2. */
typedef struct UnzipVersionInfo {
  unsigned long StructLength;      /*  0 set by the caller: 64 */
  unsigned long Flag;              /*  4 bit 1: inflating is done by zlib */
  char BetaText[10];               /*  8 "" (a release) */
  char DateText[20];               /* 18 the build date */
  char ZlibVersionText[10];        /* 38 zlib's version */
  unsigned char UnzipVersion[4];   /* 48 2, 0, 0, 0 */
  unsigned char ZipInfoVersion[4]; /* 52 2, 0, 0, 0 */
  unsigned long Os2DllVersion;     /* 56 0 */
  unsigned char WinDllVersion[4];  /* 60 2, 0, 0, 0 */
} UnzipVersionInfo;

/* Fills the version record.
   Returns UNZIP32_OK, or UNZIP32_PARAMETERS (writing nothing) when `info` is NULL or its
   StructLength is below 64. */
int WINAPI UzpVersion2(UnzipVersionInfo* info) UNZIP32_NOEXCEPT;

/* Lists, tests or extracts the members of options->ZipFileName: those matching one of the
   `includeCount` patterns of `includeNames` (all members when the count is 0) and none of
   the `excludeCount` patterns of `excludeNames`. Patterns use * (any run of characters,
   '/' included), ? (one character) and [set]; a NULL slot ends a list early. With
   ListOnly, UnzipEntryProc is called for every selected member; otherwise (TestOnly,
   ToStdout or extraction into ExtractDir) UnzipServiceProc is called after every selected
   member. `callbacks` may be NULL.
   Returns the most serious of what happened, that is the largest of:
     UNZIP32_OK              every selected member was handled
     UNZIP32_WARNING         symbolic-link members were skipped (never created)
     UNZIP32_MEMBER_ERROR    a member failed its checks (damaged data, CRC or size error,
                             corrupt compressed data) or was refused (unsafe name, a link or
                             folder in the way, data overlapping another member, a size
                             beyond what deflate or Deflate64 can reach, a duplicate name),
                             or its file could not be written; the other members were
                             handled
     UNZIP32_DIRECTORY_ERROR the central directory is damaged, and nothing was handled; or
                             an unexpected failure stopped the run, after the members
                             reported so far (its "error: " line says what failed)
     UNZIP32_NO_MEMORY       out of memory
     UNZIP32_NOT_FOUND       the archive does not exist, cannot be opened, ZipFileName is
                             NULL or empty, or the file is not a Zip archive
     UNZIP32_PARAMETERS      `options` is NULL or a count is negative
     UNZIP32_NO_MATCH        an include pattern matched no member
     UNZIP32_DISK_FULL       the disk filled up, and extraction stopped; or the members'
                             declared sizes add up to more than the target's free space,
                             and nothing was extracted
     UNZIP32_CANCELLED       UnzipServiceProc returned non-zero; extraction stopped
     UNZIP32_UNSUPPORTED     a member uses an encryption not read (see the top) or a
                             method number not listed at UnzipEntryProc, or needs more
                             than 128 MiB to decode (an LZMA dictionary, an xz or
                             Zstandard window); the other members were handled. Every
                             method listed at UnzipEntryProc is read, plain or encrypted
     UNZIP32_BAD_PASSWORD    encrypted members were skipped or had a wrong password (their
                             UNZIP32_FAILED_LINE gives which), and nothing else failed:
                             with another failure besides, that failure's status comes
                             instead; the other members were handled */
int WINAPI Wiz_SingleEntryUnzip(int includeCount, char** includeNames, int excludeCount,
                                char** excludeNames, UnzipOptions* options,
                                UnzipCallbacks* callbacks) UNZIP32_NOEXCEPT;

#ifdef __cplusplus
}
#endif

/* The layouts, as the interface fixes them for 32-bit Windows. */
#if defined(_WIN64)
/* A 64-bit build of the same sources only runs the tests where 32-bit code cannot run. */
#define PARCELO_UNZIP32_LAYOUT(condition) extern int parcelo_unzip32_layout_unchecked
#elif defined(__cplusplus)
#define PARCELO_UNZIP32_LAYOUT(condition) static_assert(condition, #condition)
#else
#define PARCELO_UNZIP32_LAYOUT(condition) _Static_assert(condition, #condition)
#endif
PARCELO_UNZIP32_LAYOUT(sizeof(void*) == 4);
PARCELO_UNZIP32_LAYOUT(sizeof(long) == 4);
PARCELO_UNZIP32_LAYOUT(sizeof(UnzipOptions) == 68);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipOptions, OnlyNewer) == 0);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipOptions, Quiet) == 12);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipOptions, ListOnly) == 24);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipOptions, UseFolders) == 36);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipOptions, Overwrite) == 40);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipOptions, Privilege) == 56);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipOptions, ZipFileName) == 60);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipOptions, ExtractDir) == 64);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, Print) == 0);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, Sound) == 4);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, Replace) == 8);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, Password) == 12);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, Message) == 16);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, Service) == 20);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, TotalSizeComp) == 24);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, TotalSize) == 28);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, CompFactor) == 32);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, NumMembers) == 36);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipCallbacks, CommentLength) == 40);
PARCELO_UNZIP32_LAYOUT(sizeof(UnzipCallbacks) == 44);
PARCELO_UNZIP32_LAYOUT(sizeof(UnzipVersionInfo) == 64);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipVersionInfo, Flag) == 4);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipVersionInfo, BetaText) == 8);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipVersionInfo, DateText) == 18);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipVersionInfo, ZlibVersionText) == 38);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipVersionInfo, UnzipVersion) == 48);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipVersionInfo, ZipInfoVersion) == 52);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipVersionInfo, Os2DllVersion) == 56);
PARCELO_UNZIP32_LAYOUT(offsetof(UnzipVersionInfo, WinDllVersion) == 60);
#undef PARCELO_UNZIP32_LAYOUT

#endif /* PARCELO_UNZIP32_H */
