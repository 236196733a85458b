// Files for the framework: a gzip file interface behind Allegro's file
// functions (so save games are compressed without their writer knowing),
// directory creation, file tests, directory listing, the search-path lookup
// and the user's data folders.
#pragma once

#include <cstdint>
#include <string>

#include <allegro5/allegro.h>

// The file interface whose user data is a zlib gzFile.
extern const ALLEGRO_FILE_INTERFACE daxGzFileInterface;

// Opens a gzip file ("rb" or "wb") for Allegro's file functions; null when
// it cannot be opened or is no regular file (Allegro's errno is then 12).
// Never waits for a FIFO or a device. A failed close leaves the system's
// reason in Allegro's errno.
ALLEGRO_FILE* daxGzOpen(const char* path, const char* mode);

// Creates every missing directory along path ('/' or '\' separate; a drive
// "X:" is skipped; text after the last separator is not created). Raises
// "%s is not a directory" or "can't create directory %s, error %d".
void daxMakeDirs(const char* path);

// True when path names an existing regular file.
bool daxFileExists(const char* path);

// C rename / remove, a second name (hard link) for a file, and a copy of a
// file that is on disk when the call returns (a failed copy leaves nothing
// under to); a nonzero result leaves Allegro's errno set.
int daxRenameFile(const char* from, const char* to);
int daxLinkFile(const char* from, const char* to);
int daxCopyFile(const char* from, const char* to);
int daxRemoveFile(const char* path);
// Makes the data of a closed file, and the entry of its folder, reach the
// disk before the call returns (so that a rename over an older file cannot
// leave an empty one after a power loss). 0, or the system's error number.
int daxSyncFile(const char* path);

// Receives the files daxListFiles finds.
class DaxFileListerIfc {
public:
    virtual ~DaxFileListerIfc() = default;
    // name: the file name without its extension; directory as given to
    // daxListFiles; mtime in seconds since 1970; size in bytes (at most
    // INT32_MAX: larger files report that).
    virtual void addFile(const char* name, const char* extension, const char* directory,
                         int64_t mtime, int32_t size) = 0;
};

// Calls lister->addFile for every file of directory whose extension (after
// the last dot, case-sensitive) equals extension; returns the number of
// matches, 0 when directory is not a directory.
int daxListFiles(const char* directory, const char* extension, DaxFileListerIfc* lister);

// Looks name up in the framework search path; the first directory holding it
// as a regular file wins and name becomes the full path. When none holds it
// name is emptied and "can't find file %s" is raised. An absolute path of an
// existing file is kept as it is.
void daxFindFile(std::string& name);
// The same look-up without raising: true when found, with the full path in
// full_path (when given).
bool daxSearchFile(const std::string& name, std::string* full_path = nullptr);

// The user's data folder ($XDG_DATA_HOME, else ~/.local/share) and the
// shared data folder (the first entry of $XDG_DATA_DIRS, else
// /usr/local/share), both ending in '/'; "" when they cannot be found.
std::string daxGetDocumentsDir();
std::string daxGetCommonAppDataDir();
