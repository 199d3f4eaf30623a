// SPDX-License-Identifier: GPL-3.0-or-later
// An output file that appears whole or not at all: everything is written to a temporary
// file in the target's directory, which commit() renames onto the target. The temporary
// file is removed when the object dies uncommitted, and also when the process is ended by
// a signal (installSignalCleanup), which then says "interrupted: nothing written" when the
// user stopped it. An existing target is replaced only when overwrite is
// set.
//
// A target that is a symbolic link is followed: the file it points to is replaced, the
// link stays. A character device or a FIFO is written to directly (streamed: there is no
// temporary file, and nothing to take back); block devices and sockets are refused.
//
// Thread: the main thread; the signal cleanup is async-signal-safe.
#pragma once

#include <string>

namespace kiv::ambidec {

class AtomicOutput {
public:
    // Throws ToolError when the target exists and overwrite is false, when it is no place a
    // file can be written to, or when the temporary file cannot be created.
    AtomicOutput(std::string target, bool overwrite);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // The temporary file (or the device or FIFO), open for writing.
    int fd() const { return fd_; }
    // Empty when streamed.
    const std::string& temporaryPath() const { return temporary_; }
    const std::string& target() const { return target_; }
    // True when writing straight into a character device or a FIFO.
    bool streamed() const { return streamed_; }

    // Flushes the file to disk and renames it onto the target (closes a streamed target).
    // Throws ToolError; the temporary file is gone afterwards either way.
    void commit();

    // Once per process: every signal that ends the process (SIGHUP, SIGINT, SIGTERM,
    // SIGPIPE, SIGQUIT, SIGXFSZ, a crash...) removes every uncommitted temporary file first.
    // Signals the process was started with ignored stay ignored.
    static void installSignalCleanup();

private:
    void discard();

    std::string target_;
    std::string final_; // the target with its symbolic links followed
    std::string temporary_;
    bool overwrite_;
    bool streamed_ = false;
    int fd_ = -1;
    int slot_ = -1;
};

} // namespace kiv::ambidec
