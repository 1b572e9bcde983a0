#pragma once
#include <cstdint>
#include <string>

// The log of one library. Each deliverable carries its own copy of this code, so the kit
// and each plug-in write their own file under their own lock.
class LogCustom {
public:
    // 0 opened (or a log is already open), 1 the folder neither exists nor can be created,
    // 2 the file cannot be opened.
    static int Initance(const std::string& logDirectory, const std::string& logFileName, const std::string& logPrefix,
                        bool logToConsole);
    static void Release();
    static void Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static uint64_t GetTimeStampMS();

private:
    LogCustom() = default;
    int Init();
};

std::string GetTime();
std::string GetDateTime();
std::string GetTimeAudio();
char* ToHEX(const char* data, int len, char* out);
bool ReadData(const char* path, unsigned char* buf, unsigned int& len);

namespace logtext {
// The source file's name without folder and extension, for the prefix of a log line;
// held by value so that a message needs no allocation for it.
struct SourceNameText {
    char text[64];
};
SourceNameText SourceName(const char* path);
}  // namespace logtext

// Every message carries the "[file:line:function]:" prefix; messages about one camera
// continue with its "<tag> ". The macros end each message with its line feed.
#define LOG_PRINTF(format, ...) \
    LogCustom::Printf("[%s:%d:%s]:" format "\n", logtext::SourceName(__FILE__).text, __LINE__, __func__, ##__VA_ARGS__)
#define LOG_DEVICE(tag, format, ...)                                                                                 \
    LogCustom::Printf("[%s:%d:%s]:<%s> " format "\n", logtext::SourceName(__FILE__).text, __LINE__, __func__, (tag), \
                      ##__VA_ARGS__)
// The same under another function's name, for lines written on an operation's behalf.
#define LOG_PRINTF_AS(function, format, ...)                                                               \
    LogCustom::Printf("[%s:%d:%s]:" format "\n", logtext::SourceName(__FILE__).text, __LINE__, (function), \
                      ##__VA_ARGS__)
#define LOG_DEVICE_AS(function, tag, format, ...)                                                                      \
    LogCustom::Printf("[%s:%d:%s]:<%s> " format "\n", logtext::SourceName(__FILE__).text, __LINE__, (function), (tag), \
                      ##__VA_ARGS__)
