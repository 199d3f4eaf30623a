// An output file that appears whole or not at all: everything is written to a temporary
// file in the target's directory, which commit() renames onto the target. The temporary
// file is removed when the object dies uncommitted, and also when the process is ended by
// SIGINT or SIGTERM (installSignalCleanup). An existing target is replaced only when
// overwrite is set.
//
// Thread: the main thread; the signal cleanup is async-signal-safe.
#pragma once

#include <string>

namespace kiv::ambidec {

class AtomicOutput {
public:
    // Throws ToolError when the target exists and overwrite is false, or when the temporary
    // file cannot be created.
    AtomicOutput(std::string target, bool overwrite);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // The temporary file, open for writing (descriptor) and by name.
    int fd() const { return fd_; }
    const std::string& temporaryPath() const { return temporary_; }
    const std::string& target() const { return target_; }

    // Flushes the file to disk and renames it onto the target. Throws ToolError; the
    // temporary file is gone afterwards either way.
    void commit();

    // Once per process: SIGINT and SIGTERM remove every uncommitted temporary file, then
    // end the process by the same signal.
    static void installSignalCleanup();

private:
    void discard();

    std::string target_;
    std::string temporary_;
    bool overwrite_;
    int fd_ = -1;
    int slot_ = -1;
};

} // namespace kiv::ambidec
