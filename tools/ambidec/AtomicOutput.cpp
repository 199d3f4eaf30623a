#include "tools/ambidec/AtomicOutput.h"

#include "tools/ambidec/ToolError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kiv::ambidec {

namespace {

// Temporary files that a signal must remove. A slot is filled before it is marked in use,
// and the handler only reads slots marked in use.
constexpr int kSlots = 8;
constexpr std::size_t kPathBytes = 4096;
char pendingPath[kSlots][kPathBytes];
volatile std::sig_atomic_t pendingInUse[kSlots];

int registerPending(const std::string& path) {
    if (path.size() >= kPathBytes) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (pendingInUse[i]) continue;
        std::memcpy(pendingPath[i], path.c_str(), path.size() + 1);
        pendingInUse[i] = 1;
        return i;
    }
    return -1;
}

void unregisterPending(int slot) {
    if (slot >= 0) pendingInUse[slot] = 0;
}

extern "C" void removePendingAndDie(int signal) {
    for (int i = 0; i < kSlots; ++i)
        if (pendingInUse[i]) ::unlink(pendingPath[i]);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

AtomicOutput::AtomicOutput(std::string target, bool overwrite)
    : target_(std::move(target)), overwrite_(overwrite) {
    if (target_.empty() || target_.back() == '/')
        throw ToolError("'" + target_ + "' is not a file name");
    if (!overwrite_ && exists(target_))
        throw ToolError(target_ + ": already exists (use --force to replace it)");
    struct stat st {};
    if (exists(target_) && ::stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw ToolError(target_ + ": is a directory");

    std::string pattern = directoryOf(target_) + "/." + baseName(target_) + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // A signal between creating the file and registering it would leave the file behind.
    sigset_t stopping, previous;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &stopping, &previous);
    fd_ = ::mkstemp(name.data());
    const int error = errno;
    if (fd_ >= 0) slot_ = registerPending(name.data());
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd_ < 0) throw ToolError(target_ + ": cannot be written: " + std::strerror(error));
    temporary_ = name.data();

    // mkstemp makes the file private; the result gets the permissions of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

AtomicOutput::~AtomicOutput() {
    discard();
}

void AtomicOutput::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    unregisterPending(slot_);
    slot_ = -1;
    temporary_.clear();
}

void AtomicOutput::commit() {
    if (temporary_.empty()) throw ToolError(target_ + ": nothing to commit");
    if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
        fd_ = -1;
        const std::string why = std::strerror(errno);
        discard();
        throw ToolError(target_ + ": cannot be written: " + why);
    }
    fd_ = -1;
    int result = 0;
    if (overwrite_) {
        result = std::rename(temporary_.c_str(), target_.c_str());
    } else {
        // No replacing a file that appeared while we were writing.
        result =
            ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
        if (result != 0 && errno == EINVAL) { // file system without the flag
            if (exists(target_)) {
                errno = EEXIST;
            } else {
                result = std::rename(temporary_.c_str(), target_.c_str());
            }
        }
    }
    if (result != 0) {
        const int error = errno;
        discard();
        if (error == EEXIST)
            throw ToolError(target_ + ": already exists (use --force to replace it)");
        throw ToolError(target_ + ": cannot be written: " + std::strerror(error));
    }
    unregisterPending(slot_);
    slot_ = -1;
    temporary_.clear();
}

void AtomicOutput::installSignalCleanup() {
    struct sigaction action {};
    action.sa_handler = removePendingAndDie;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace kiv::ambidec
