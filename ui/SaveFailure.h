#pragma once

#include "store/TokenDB.h"

#include <string>

class QWidget;

// Tells the user, in a message box over `owner`, which file could not be written and why.
void reportSaveFailure(QWidget* owner, const SaveResult& result);

// Tells the user that the file at `path` is over the size the store reads (MaxFileSize).
void reportFileTooLarge(QWidget* owner, const std::string& path);

// Tells the user that the database at `path` is a symbolic link to `target`, which is missing.
void reportDatabaseLinkBroken(QWidget* owner, const std::string& path, const std::string& target);

// Reports a pack whose token was installed but could not be saved (its pack file stays).
void reportPackSaveFailure(QWidget* owner, const PackOutcome& outcome);

// Saves the store; when that fails, reports it as above. True when the change is on disk.
bool saveOrReport(QWidget* owner, CTokenDB& store);

// Makes the token at `index` the default one and saves, reporting a failed save. True when saved.
bool makeCurrentAndSave(QWidget* owner, CTokenDB& store, int index);

// Saves the store after `token` made a code. When the save fails it is reported and a counter
// the code advanced is put back: false then, and the code must not be shown, since the next
// start would show it again.
bool saveCodeCounter(QWidget* owner, CTokenDB& store, COtpToken& token, std::int64_t counterBefore);
