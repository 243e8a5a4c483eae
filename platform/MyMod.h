// Path text functions, the file-browser launcher, the Windows folder and the list-box
// duplicate remover. None of them keeps state.
#pragma once
#include <string>

namespace tk {
class ListBox;
}

// The Windows folder as the platform reports it; empty when the call fails.
std::string GetWindowsDir();

// The folder part of a path, without its final backslash: C:\Out\Archive.zip gives C:\Out.
// The path's last character is never taken as the separator, so C:\Out\ gives C:. A path
// without a backslash comes back unchanged. With bWithDrive false the first three characters
// (drive, colon, backslash) are dropped first; a path shorter than that is an invalid
// argument.
std::string GetPathNoFile(const std::string& sPath, bool bWithDrive);

// The part after the last backslash; empty for a path ending in one, the whole text when
// there is none.
std::string GetFileNoPath(const std::string& sPath);

// Opens the file browser: "<Windows folder>\explorer.exe " followed by /e (bExplore) or /n
// (neither bExplore nor bNoNewWindow), then ",/root, <sRoot>" and ",/select" / ",<sPath>" as
// given. Started with a normal, activated window and not waited for; the browser reports a
// folder that does not exist.
void ExploreFolder(const std::string& sPath, const std::string& sRoot, bool bSelect, bool bExplore,
                   bool bNoNewWindow);

// Removes every item whose text equals (case-sensitively) that of an earlier item; the
// first of each text stays and the order is kept.
void RemoveDuplicates(tk::ListBox& list);

// True for an entry that names a file rather than an archive member: a drive path ("C:\...",
// characters 2 and 3 are ":\") or a network path ("\\server\share\..."). Member names in an
// archive are relative and never look like either; without the network form, files picked
// from a share would be taken for members.
bool IsFilePath(const std::string& sPath);
