#pragma once
#include <json/json.h>

// Opens and parses a settings file. Backslashes in `path` count as folder separators, and
// a path without any separator is refused. 0, or -15 with a log line tagged `tag` when the
// file cannot be opened, read or parsed. The file is closed before this returns.
int LoadSettingsDocument(const char* path, const char* tag, Json::Value* root);
