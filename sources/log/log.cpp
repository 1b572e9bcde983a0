#include "log.h"

#include <sys/time.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "Mutex.h"
#include "pathtools.h"

namespace {

// The log of this library; a LogCustom object only marks that it is initialised.
Mutex gmutex;
std::string m_LogDirectory GUARDED_BY(gmutex);
std::string m_LogFileName GUARDED_BY(gmutex);
std::string m_LogPreFix GUARDED_BY(gmutex);
bool m_LogToConsole GUARDED_BY(gmutex) = false;
FILE* m_PLogFile GUARDED_BY(gmutex) = nullptr;
bool showDataTime GUARDED_BY(gmutex) = true;
const std::string SUFFIX = ".txt";

// Serialises Initance and Release with each other; taken before gmutex, never inside it.
Mutex lifecycleMutex ACQUIRED_BEFORE(gmutex);
LogCustom* g_LogCustom GUARDED_BY(lifecycleMutex) = nullptr;

constexpr size_t kMessageCapacity = 1024;    // fixed, so that a message needs no allocation; longer ones are cut
constexpr long kLargestLogBytes = 10485759;  // 10 MiB less one: a file that reaches 10 MiB moves to its "/bak" name

std::string LogFilePath() REQUIRES(gmutex) { return m_LogDirectory + "/" + m_LogFileName + SUFFIX; }
std::string BackupFilePath() REQUIRES(gmutex) { return m_LogDirectory + "/bak" + m_LogFileName + SUFFIX; }

void CloseLogFile() REQUIRES(gmutex) {
    if (m_PLogFile != nullptr) {
        fclose(m_PLogFile);
        m_PLogFile = nullptr;
    }
}

// Moves a full log file aside and starts a new one. False when this message must not
// be written: the full file could not be moved, or no new file could be opened.
bool RotateWhenFull() REQUIRES(gmutex) {
    if (fseek(m_PLogFile, 0, SEEK_END) != 0 || ftell(m_PLogFile) <= kLargestLogBytes) {
        return true;
    }
    const std::string path = LogFilePath();
    const std::string backup = BackupFilePath();
    remove(backup.c_str());
    CloseLogFile();
    const bool moved = rename(path.c_str(), backup.c_str()) == 0;
    if (!moved) {
        remove(path.c_str());
    }
    m_PLogFile = fopen(path.c_str(), "ae");
    return moved && m_PLogFile != nullptr;
}

struct LocalClock {
    std::tm local;
    int milliseconds;
};

LocalClock ReadLocalClock() {
    timeval now{};
    gettimeofday(&now, nullptr);
    LocalClock clock{};
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &clock.local);
    clock.milliseconds = static_cast<int>(now.tv_usec / 1000);
    return clock;
}

}  // namespace

int LogCustom::Initance(const std::string& logDirectory, const std::string& logFileName, const std::string& logPrefix,
                        bool logToConsole) {
    LockGuard lifecycle(lifecycleMutex);
    if (g_LogCustom != nullptr) {
        return 0;
    }
    {
        LockGuard lock(gmutex);
        m_LogDirectory = logDirectory;
        m_LogFileName = logFileName;
        m_LogPreFix = logPrefix;
        m_LogToConsole = logToConsole;
    }
    g_LogCustom = new LogCustom();
    const int result = g_LogCustom->Init();
    if (result != 0) {
        {
            LockGuard lock(gmutex);
            CloseLogFile();
        }
        delete g_LogCustom;
        g_LogCustom = nullptr;
    }
    return result;
}

int LogCustom::Init() {
    // Printf reads the folder while rotating, so it only changes under the lock; finding
    // the default may itself log, so that happens outside it.
    std::string directory;
    {
        LockGuard lock(gmutex);
        directory = m_LogDirectory;
    }
    if (directory.empty()) {
        directory = GetAppDataDirectory() + "/Log";
        LockGuard lock(gmutex);
        m_LogDirectory = directory;
    }
    if (!IsDirectoryExist(directory.c_str()) && !CreateDirectory_(directory.c_str())) {
        LOG_PRINTF("CreateDirectory %s failed errorcode:%d !", directory.c_str(), errno);
        return 1;
    }
    std::string path;
    int openError = 0;
    {
        LockGuard lock(gmutex);
        path = LogFilePath();
        m_PLogFile = fopen(path.c_str(), "ae");
        if (m_PLogFile != nullptr) {
            return 0;
        }
        openError = errno;
    }
    LOG_PRINTF("fopen_s %s failed errorcode:%d !", path.c_str(), openError);
    return 2;
}

void LogCustom::Release() {
    LockGuard lifecycle(lifecycleMutex);
    if (g_LogCustom == nullptr) {
        return;
    }
    {
        LockGuard lock(gmutex);
        CloseLogFile();
    }
    delete g_LogCustom;
    g_LogCustom = nullptr;
}

void LogCustom::Printf(const char* format, ...) {
    if (format == nullptr) {
        return;
    }
    LockGuard lock(gmutex);
    if (!m_LogToConsole && m_PLogFile == nullptr) {
        return;
    }
    char message[kMessageCapacity];
    va_list args;
    va_start(args, format);
    const int length = vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (length < 0) {
        message[0] = '\0';
    }
    const std::string time = GetTime();
    if (m_LogToConsole) {
        printf("%s %s", time.c_str(), message);
    }
    if (m_PLogFile == nullptr) {
        return;
    }
    if (RotateWhenFull()) {
        fprintf(m_PLogFile, "%s %s", time.c_str(), message);
        if (showDataTime) {
            fprintf(m_PLogFile, "%s %s\n", GetTime().c_str(), GetDateTime().c_str());
            showDataTime = false;
        }
    }
    if (m_PLogFile != nullptr) {
        fflush(m_PLogFile);
    }
}

uint64_t LogCustom::GetTimeStampMS() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_usec) / 1000u;
}

std::string GetTime() {
    const LocalClock clock = ReadLocalClock();
    char text[64];
    snprintf(text, sizeof text, "%02d:%02d:%02d-%03d", clock.local.tm_hour, clock.local.tm_min, clock.local.tm_sec,
             clock.milliseconds);
    return text;
}

std::string GetDateTime() {
    const LocalClock clock = ReadLocalClock();
    char text[96];
    snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d-%03d", clock.local.tm_year + 1900,
             clock.local.tm_mon + 1, clock.local.tm_mday, clock.local.tm_hour, clock.local.tm_min, clock.local.tm_sec,
             clock.milliseconds);
    return text;
}

std::string GetTimeAudio() {
    const LocalClock clock = ReadLocalClock();
    char text[96];
    snprintf(text, sizeof text, "%04d%02d%02d_%02d%02d%02d:%02d.pcm", clock.local.tm_year + 1900,
             clock.local.tm_mon + 1, clock.local.tm_mday, clock.local.tm_hour, clock.local.tm_min, clock.local.tm_sec,
             clock.milliseconds);
    return text;
}

char* ToHEX(const char* data, int len, char* out) {
    if (out == nullptr) {
        return out;
    }
    static const char digits[] = "0123456789ABCDEF";
    char* cursor = out;
    for (int i = 0; data != nullptr && i < len; ++i) {
        // As unsigned, so a byte of 0x80 or more stays two digits.
        const unsigned char byte = static_cast<unsigned char>(data[i]);
        const int count = i + 1;
        *cursor++ = digits[byte >> 4];
        *cursor++ = digits[byte & 0x0F];
        *cursor++ = count % 32 == 0 ? '\n' : (count % 4 == 0 ? '\t' : ' ');
    }
    *cursor = '\0';
    return out;
}

bool ReadData(const char* path, unsigned char* buf, unsigned int& len) {
    if (path == nullptr || buf == nullptr) {
        return false;
    }
    FILE* file = fopen(path, "rbe");
    if (file == nullptr) {
        LOG_PRINTF("open %s is failed,ECode:%d", path, errno);
        return false;
    }
    long size = -1;
    if (fseek(file, 0, SEEK_END) == 0) {
        size = ftell(file);
    }
    // A size that cannot be taken must not become a read length.
    if (size < 0 || fseek(file, 0, SEEK_SET) != 0) {
        LOG_PRINTF("open %s is failed,ECode:%d", path, errno);
        fclose(file);
        return false;
    }
    const int capacity = static_cast<int>(len);
    if (capacity < size) {
        LOG_PRINTF("read %s is failed,pbuf is small:%d - %d", path, capacity,
                   size > INT_MAX ? INT_MAX : static_cast<int>(size));
        fclose(file);
        return false;
    }
    len = static_cast<unsigned int>(size);
    const size_t got = fread(buf, 1, len, file);
    if (got != len) {
        LOG_PRINTF("fread %s is failed,Ecode:%d", path, errno);
        fclose(file);
        return false;
    }
    fclose(file);
    return true;
}

logtext::SourceNameText logtext::SourceName(const char* path) {
    SourceNameText name{};
    if (path == nullptr) {
        return name;
    }
    const char* start = path;
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '/' || *c == '\\') {
            start = c + 1;
        }
    }
    const char* end = start;
    const char* dot = nullptr;
    for (; *end != '\0'; ++end) {
        if (*end == '.') {
            dot = end;
        }
    }
    if (dot != nullptr && dot != start) {
        end = dot;
    }
    size_t length = static_cast<size_t>(end - start);
    if (length > sizeof name.text - 1) {
        length = sizeof name.text - 1;
    }
    for (size_t i = 0; i < length; ++i) {
        name.text[i] = start[i];
    }
    name.text[length] = '\0';
    return name;
}
