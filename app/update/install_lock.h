#pragma once

#include <QString>

// Every process started from a self-updating install holds a shared lock on
// the install folder for as long as it runs; the update's swap script takes it
// exclusively, so the folder is never replaced under a running process.
namespace InstallLock {

// Takes the shared lock on `folder` and keeps it until the process ends. False
// only when an update holds the folder right now; a folder that can't be
// opened or locked otherwise has no update to wait for, and counts as held.
bool holdShared(const QString& folder);

// The folder of this process's executable, when the build updates itself.
// When it can't be held, says so on standard error: the caller should exit
// with status 1.
bool holdInstall();

} // namespace InstallLock
