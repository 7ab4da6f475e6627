// One adjuster session, shared by the dialogue and the scripted run: the
// loaded model, the settings in use, and the notes about the loaded file.
#pragma once

#include <cstdio>
#include <string>

#include "adjuster/fader_model.hpp"

namespace ostrand {

struct Session {
    FaderModel model;
    std::string path;                        // the file loaded
    int timeFields = kMinutesSecondsMillis;  // the setting in use
    int ordering = kByTimes;
    bool timesConfirmed = false;  // the user accepted times read with another field count
    bool tempoConfirmed = false;  // the user accepted nudging or scaling bars and beats
    std::string command;
    std::string outputText;
};

// Loads `session.path` with `session.timeFields`; false (after a message,
// and the help text when `help`) when it cannot be loaded.
bool LoadSession(Session& session, std::FILE* out, bool help);

// What the loaded file needs the user to know: lines kept unattached, a
// tempo map, "t" lines whose field count differs from the setting in use.
void PrintLoadNotes(const Session& session, std::FILE* out);

// True while the times were read with a field count that does not match the
// file's "t" lines and the user has not accepted that.
bool TimesMisread(const Session& session);

// "The t lines of F have N time fields, but M are in use: the times would be
// misread." with its line end.
std::string MisreadMessage(const Session& session);

// Reads the times again with `timeFields` fields, keeping every level edit.
void RereadTimes(Session& session, int timeFields);

// The output text in the ordering and time fields in use.
void BuildText(Session& session);

// "Entries:" and the number of level entries of each fader that has any.
void PrintEntryCounts(const FaderModel& model, std::FILE* out);

}  // namespace ostrand
