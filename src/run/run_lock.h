#pragma once

// Takes an exclusive lock on the working directory itself for the life of
// the process, so that a second run in the same directory refuses before it
// touches the log, the module tree or any temporary file. Needs no file of
// its own, so a read-only working directory locks as well. Returns false
// only when another run holds the lock.
bool lock_working_directory();
