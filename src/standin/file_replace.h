// Reading a registry file and replacing it so that it is never seen half
// written: the new text goes to a temporary file beside the old one, which
// takes the old one's owner, group and mode, is flushed to disk and renamed
// over it; then the folder is flushed so the rename lasts.
#pragma once

#include <functional>
#include <string>

#include "standin/win32_api.h"

namespace standin {

// Opens `path` for reading, refusing anything but a regular file (a FIFO
// would block the run for ever). Returns the descriptor, or -1 with the
// status in `status` after telling why.
int OpenRegularFile(const std::string& path, LONG* status);

// Writes the file anew through `write`, which returns false when a write
// failed. A symbolic link is kept: the file it points to is replaced, as
// Wine does when it saves. On any failure the old file is left as it was
// (except when only the folder's flush failed, which is told too) and
// ERROR_REGISTRY_IO_FAILED is returned.
LONG ReplaceFile(const std::string& path, const std::function<bool(int fd)>& write);

// The temporary files of runs that were killed before they could remove
// them, recognised by their name, are removed from `folder`.
void RemoveStaleTemporaries(const std::string& folder);

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary file being written
// before the process ends.
void RemoveTemporaryOnSignals();

// For tests: make the replacement fail, or the process be signalled, at one
// of its steps.
enum class ReplaceStep { kNone, kCreate, kWrite, kSync, kRename, kFolderSync, kSignal };
void FailReplaceAt(ReplaceStep step);

}  // namespace standin
