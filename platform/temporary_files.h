#pragma once

// The hidden files the atomic replacement keeps beside the file it writes
// while it works, and how one that a killed write left behind is told from
// one that a live writer still holds. Plain C++ and POSIX.
//
//   .velvane-XXXXXX             new content being written (XXXXXX: six
//                               letters or digits chosen by mkstemp)
//   .velvane-XXXXXX.old-INODE   the former content of the file with that
//                               inode number, kept while the file is
//                               rewritten in place from .velvane-XXXXXX
//
// Every writer holds an exclusive flock on its files for as long as it
// lives, so a file of ours whose lock can be taken belongs to a write that
// ended without cleaning up.

#include <cstdint>
#include <string>
#include <string_view>

std::string ParentFolder(const std::string& path);
std::string LastComponent(const std::string& path);

// Creates a new temporary file in folder, open for reading and writing and
// locked; path is set to its name. -1 with errno set on failure.
int CreateLockedTemporary(const std::string& folder, std::string& path);

bool IsTemporaryName(std::string_view name);
std::string KeptCopyName(std::string_view temporaryName, uint64_t inode);
// Splits a kept copy's name; false for any other name.
bool ParseKeptCopyName(std::string_view name, std::string& temporaryName, uint64_t& inode);

// Opens name in the folder open as folderFd when it is a file of ours that
// no live writer holds: a regular file of this user with one name, reached
// without a link, whose lock is free. The descriptor holds the lock; -1
// otherwise (ENOENT when there is no such name).
int TakeAbandoned(int folderFd, const std::string& name);

// Removes name from the folder when it still names the file open as fd.
bool RemoveIfSame(int folderFd, const std::string& name, int fd);
