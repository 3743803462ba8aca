#pragma once
// Files and folders as the launcher needs them: the user's temporary folder, existence tests,
// one-level folder creation and the private download folder.
//
// Paths are 8-bit text. The launcher's own path texts use the backslash as separator, as the
// program was written for; NativePath turns them into the separator of the running system.

#include <string>

namespace tavo::platform {

// The separator of this system's paths: '\\' on Windows, '/' elsewhere.
char PathDelimiter();

// Replaces every backslash by PathDelimiter(). On Windows the text comes back unchanged.
std::string NativePath(const std::string& path);

// The current user's temporary folder, always ending in PathDelimiter(); empty when the system
// cannot say. The whole path is returned however long it is.
std::string GetTempPath();

// True only for an existing folder (a link to a folder counts, as the system resolves it).
bool DirectoryExists(const std::string& path);

// True only for an existing file that is not a folder.
bool FileExists(const std::string& path);

// Creates one folder level below an existing folder. False when the folder could not be
// created, also when something of that name exists already.
bool CreateDir(const std::string& path);

// Makes sure `path` is a folder that only the current user can write to, creating it (one level,
// owner-only access) when it does not exist. Programs are later started from it, so an existing
// entry that is a symbolic link, belongs to another user or can be written by others is refused
// (false) rather than used.
bool ForcePrivateDirectory(const std::string& path);

}  // namespace tavo::platform
