// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/AtomicOutput.h"

#include "tools/ambidec/ToolError.h"

#include <fcntl.h>
#include <limits.h>
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

// Every signal whose default action ends the process, except SIGKILL and SIGSTOP which
// cannot be caught. The last ones are faults: the handler returns and lets them recur.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,    SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1,
                                  SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGABRT, SIGSEGV,
                                  SIGBUS,  SIGFPE,    SIGILL,  SIGTRAP, SIGSYS};
constexpr int kSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];
struct sigaction previousAction[kSignalCount];

bool isFault(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL ||
           signal == SIGTRAP || signal == SIGSYS;
}

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

extern "C" void removePendingAndDie(int signal, siginfo_t* info, void*) {
    const int savedErrno = errno;
    bool removed = false;
    for (int i = 0; i < kSlots; ++i)
        if (pendingInUse[i]) {
            ::unlink(pendingPath[i]);
            pendingInUse[i] = 0;
            removed = true;
        }
    // Stopped by the user (Ctrl-C, kill, a closed terminal): one line saying so, as sox does.
    if (signal == SIGINT || signal == SIGTERM || signal == SIGHUP || signal == SIGQUIT) {
        static const char kNothing[] = "ambidec: interrupted: nothing written\n";
        static const char kPlain[] = "ambidec: interrupted\n";
        const ssize_t ignored = removed ? ::write(STDERR_FILENO, kNothing, sizeof kNothing - 1)
                                        : ::write(STDERR_FILENO, kPlain, sizeof kPlain - 1);
        (void)ignored;
    }
    // Back to what was there before (the default, or a sanitizer's handler), then the
    // same signal again: delivered when this handler returns. A fault recurs by itself.
    for (int i = 0; i < kSignalCount; ++i)
        if (kEndingSignals[i] == signal) ::sigaction(signal, &previousAction[i], nullptr);
    if (!isFault(signal) || !info || info->si_code <= 0) ::raise(signal);
    errno = savedErrno;
}

void blockEndingSignals(sigset_t& previous) {
    sigset_t stopping;
    sigemptyset(&stopping);
    for (int signal : kEndingSignals)
        if (!isFault(signal)) sigaddset(&stopping, signal);
    ::sigprocmask(SIG_BLOCK, &stopping, &previous);
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

// The path with every symbolic link at its end followed; a link to nothing gives the
// path of the file it would name.
std::string followLinks(const std::string& target) {
    std::string path = target;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> link(static_cast<std::size_t>(PATH_MAX) + 1);
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size() - 1);
        if (length <= 0) throw ToolError(target + ": cannot be written: " + std::strerror(errno));
        const std::string to(link.data(), static_cast<std::size_t>(length));
        path = to.front() == '/' ? to : directoryOf(path) + "/" + to;
        if (path.back() == '/') throw ToolError(target + ": is a link to a directory");
    }
    throw ToolError(target + ": cannot be written: " + std::strerror(ELOOP));
}

const char* kindOf(mode_t mode) {
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

} // namespace

AtomicOutput::AtomicOutput(std::string target, bool overwrite)
    : target_(std::move(target)), overwrite_(overwrite) {
    if (target_.empty() || target_.back() == '/')
        throw ToolError("'" + target_ + "' is not a file name");
    final_ = followLinks(target_);

    struct stat st {};
    const bool present = ::stat(final_.c_str(), &st) == 0;
    if (present && S_ISDIR(st.st_mode)) throw ToolError(target_ + ": is a directory");
    if (present && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        // Nothing here is replaced: the audio goes straight into the device or FIFO.
        fd_ = ::open(final_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0) throw ToolError(target_ + ": cannot be written: " + std::strerror(errno));
        streamed_ = true;
        return;
    }
    if (present && !S_ISREG(st.st_mode))
        throw ToolError(target_ + ": is " + kindOf(st.st_mode) +
                        ", not a file ambidec can write (use a regular file, a character device "
                        "or a FIFO)");
    if (!overwrite_ && exists(target_))
        throw ToolError(target_ + ": already exists (use --force to replace it)");

    const std::string directory = directoryOf(final_);
    const std::string base = baseName(final_);
    long nameMax = ::pathconf(directory.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = NAME_MAX;
    if (static_cast<long>(base.size()) > nameMax)
        throw ToolError(target_ + ": the file name is too long (at most " +
                        std::to_string(nameMax) + " bytes here)");
    // ".NAME.tmp-XXXXXX" is 12 bytes longer than the name: a long name is cut in it.
    const std::string suffix = ".tmp-XXXXXX";
    const std::size_t room = static_cast<std::size_t>(nameMax) - 1 - suffix.size();
    const std::string pattern = directory + "/." + base.substr(0, room) + suffix;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // A signal between creating the file and registering it would leave the file behind.
    sigset_t previous;
    blockEndingSignals(previous);
    fd_ = ::mkstemp(name.data());
    const int error = errno;
    if (fd_ >= 0) slot_ = registerPending(name.data());
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd_ < 0) throw ToolError(target_ + ": cannot be written: " + std::strerror(error));
    temporary_ = name.data();

    // mkstemp makes the file private: a replaced file keeps its permissions, a new one gets
    // those of any new file.
    mode_t mode = 0;
    if (present) {
        mode = st.st_mode & 0777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
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
    if (streamed_) {
        const int fd = fd_;
        fd_ = -1;
        if (fd < 0) throw ToolError(target_ + ": nothing to commit");
        if (::close(fd) != 0)
            throw ToolError(target_ + ": cannot be written: " + std::strerror(errno));
        return;
    }
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
        result = std::rename(temporary_.c_str(), final_.c_str());
    } else {
        // No replacing a file that appeared while we were writing.
        result =
            ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, final_.c_str(), RENAME_NOREPLACE);
        if (result != 0 && errno == EINVAL) { // file system without the flag
            if (exists(final_)) {
                errno = EEXIST;
            } else {
                result = std::rename(temporary_.c_str(), final_.c_str());
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
    for (int i = 0; i < kSignalCount; ++i) {
        const int signal = kEndingSignals[i];
        struct sigaction current {};
        ::sigaction(signal, nullptr, &current);
        // Started with the signal ignored (nohup, a shell's background job): keep it so.
        if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) continue;
        previousAction[i] = current;
        struct sigaction action {};
        action.sa_sigaction = removePendingAndDie;
        action.sa_flags = SA_SIGINFO;
        sigfillset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace kiv::ambidec
