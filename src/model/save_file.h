// The one routine that writes a user's file, so that a save never surprises: it never turns a
// device or a FIFO into a plain file, never splits hard links, keeps mode and owner, and never
// leaves a half-written file in place of a good one where a rename can avoid it.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Writes the whole content to the stream; false when a write failed (errno says why).
using SaveWriter = std::function<bool(std::FILE*)>;

// Writes what `write` produces to path, by the kind of the target (links followed):
// - an existing file that is not a regular file (device, FIFO, socket, a terminal) is opened
//   and written directly, never replaced;
// - a regular file with several hard links, or one in a folder where no file can be created,
//   is truncated and written in place;
// - otherwise the content goes to a temporary file beside the target (a dangling link's target
//   is created), given the old file's mode and owner, synced, and renamed over the target,
//   and the folder is synced; on failure the temporary file is removed, the target untouched.
// On failure error holds "path: cannot open: reason" or "path: cannot write: reason", the
// latter followed by " (the file may be incomplete)" when the file was written in place.
bool SaveFile(const std::string& path, const SaveWriter& write, std::string& error);

// Removes the temporary file of the save in progress, if there is one. Async-signal-safe.
void RemoveSaveTemporary() noexcept;

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary file of a save in progress, after
// which the process dies of the signal as it would have. Ignored signals stay ignored.
void RemoveSaveTemporaryOnSignals() noexcept;
