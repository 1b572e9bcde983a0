#pragma once
#include <functional>
#include <string>

// Path text helpers. Every slash argument is a character; 0 stands for Path_GetSlash().
char Path_GetSlash();
bool Path_IsAbsolute(const std::string& path);
std::string Path_FixSlashes(const std::string& path, char slash = 0);
std::string Path_StripFilename(const std::string& path, char slash = 0);
std::string Path_Join(const std::string& first, const std::string& second, char slash = 0);
std::string Path_Compact(const std::string& path, char slash = 0);
std::string Path_MakeAbsolute(const std::string& relative, const std::string& base, char slash = 0);

// Empty when the working directory cannot be read.
std::string Path_GetWorkingDirectory();
bool Path_SetWorkingDirectory(const std::string& path);

// Absolute folder, without trailing slash, of the executable or library that holds this
// code; empty when the loader cannot tell.
std::string Path_GetModuleDir();
// Only its address matters: it tells the loader which file holds this code.
void dummyFunctionToTakeAddress();

bool IsDirectoryExist(const char* path);
// One folder level, mode 0777.
bool CreateDirectory_(const char* path);

// Home folder + "/.config" + "/Quelta", created when missing (one level); empty when it
// cannot be created or there is no home folder.
std::string GetAppDataDirectory();
// The application-data folder + "/Config/", or empty.
std::string GetConfigPath();

namespace homefolder {
// The user's home folder; by default the password entry of the real user id, empty
// when there is none.
std::string Get();
// Replaces where Get looks, so tests never touch the real home folder; an empty
// function restores the password entry. Not to be called while other threads log.
void SetSource(std::function<std::string()> source);
}  // namespace homefolder
