// SPDX-License-Identifier: GPL-3.0-or-later
// ambidec: renders files through the decoder plug-ins, shows what they tell a host, and
// pictures their decoders, reaching them only as a host does.
#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/CommandLine.h"
#include "tools/ambidec/Info.h"
#include "tools/ambidec/LayoutOption.h"
#include "tools/ambidec/LibraryCaches.h"
#include "tools/ambidec/Plot.h"
#include "tools/ambidec/Render.h"
#include "tools/ambidec/Snapshot.h"
#include "tools/ambidec/TestSignal.h"
#include "tools/ambidec/ToolError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

using namespace kiv::ambidec;

namespace {

int run(int argc, char** argv) {
    try {
        const Command command = parseCommandLine(argc, argv);
        switch (command.kind) {
        case CommandKind::Help:
            std::cout << usageText();
            break;
        case CommandKind::Info:
            infoCommand(command.bundle, command.program, std::cout);
            if (command.layout) printLayout(*command.layout, 48000.0, std::cout);
            break;
        case CommandKind::Render:
            renderCommand(command, std::cout);
            break;
        case CommandKind::Plot:
            plotCommand(command, std::cout);
            break;
        case CommandKind::Snapshot:
            snapshotCommand(command, std::cout);
            break;
        case CommandKind::TestSignal:
            testSignalCommand(command, std::cout);
            break;
        }
    } catch (const ToolError& error) {
        std::cerr << "ambidec: " << error.what() << "\n";
        return error.status();
    } catch (const std::bad_alloc&) {
        std::cerr << "ambidec: out of memory\n";
        return ToolError::kFailure;
    }
    return 0;
}

// Whatever the command printed must have reached standard output: a full disk or a closed
// pipe there is a failure like any other.
int finishStandardOutput(int status) {
    // std::cout writes through stdio: flushing stdout first keeps the reason in errno.
    errno = 0;
    bool flushed = std::fflush(stdout) == 0;
    const int flushError = errno;
    std::cout.flush();
    flushed = flushed && !std::ferror(stdout) && std::cout.good();
    const bool closed = std::fclose(stdout) == 0;
    const int closeError = errno;
    if (flushed && closed) return status;
    const int error = !flushed ? flushError : closeError;
    std::cerr << "ambidec: standard output: cannot be written"
              << (error ? std::string(": ") + std::strerror(error) : std::string()) << "\n";
    return status ? status : ToolError::kFailure;
}

} // namespace

int main(int argc, char** argv) {
    AtomicOutput::installSignalCleanup();
    int status = run(argc, argv); // every plug-in is closed and unloaded on return
    releaseLibraryCaches();
    status = finishStandardOutput(status);
    return status;
}
