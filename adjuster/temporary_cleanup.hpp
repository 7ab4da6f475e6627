// An interrupted save leaves no temporary file behind: SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE and SIGXFSZ remove the temporary of the save in
// progress and then end the program with the signal's default action, so the
// exit status stays 128 + signal.
#pragma once

#include <string>

namespace ostrand {

// Installs the handler for the signals above; call once at start-up.
void InstallTemporaryCleanup();

// Names the temporary file a save is about to create; false when the name is
// too long to be kept for the handler. Clear it once the file is renamed or
// removed.
bool SetPendingTemporary(const std::string& path);
void ClearPendingTemporary();

}  // namespace ostrand
