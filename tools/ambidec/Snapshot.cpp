// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/Snapshot.h"

#include "host/VstOpcodes.h"
#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/PluginSession.h"
#include "tools/ambidec/SettingsReport.h"
#include "tools/ambidec/ToolError.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace kiv::ambidec {

namespace {

// A file in memory for the plug-in to draw into, so that whether it could draw and whether
// the disk takes the picture are told apart.
class MemoryFile {
public:
    MemoryFile() : fd_(::memfd_create("ambidec-snapshot", MFD_CLOEXEC)) {
        if (fd_ < 0)
            throw ToolError(std::string("cannot make room for the picture: ") +
                            std::strerror(errno));
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }
    std::vector<unsigned char> contents() const {
        std::vector<unsigned char> bytes;
        unsigned char chunk[65536];
        for (off_t at = 0;;) {
            const ssize_t got = ::pread(fd_, chunk, sizeof chunk, at);
            if (got <= 0) break;
            bytes.insert(bytes.end(), chunk, chunk + got);
            at += got;
        }
        return bytes;
    }

private:
    int fd_;
};

bool isPng(const std::vector<unsigned char>& bytes) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() > sizeof signature &&
           std::memcmp(bytes.data(), signature, sizeof signature) == 0;
}

void writeAll(int fd, const std::string& path, const std::vector<unsigned char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0)
            throw ToolError(path +
                            ": cannot be written: " + std::strerror(written < 0 ? errno : ENOSPC));
        done += static_cast<std::size_t>(written);
    }
}

} // namespace

void snapshotCommand(const Command& command, std::ostream& report) {
    PluginSession plugin(command.bundle);
    const int program = command.program
                            ? plugin.selectProgram(*command.program)
                            : static_cast<int>(plugin.instance().dispatch(effGetProgram));
    const auto applied = plugin.applySettings(command.settings);

    AtomicOutput output(command.output, command.force);
    MemoryFile picture;
    std::string path = picture.path();
    const VstIntPtr answer =
        plugin.instance().dispatch(effVendorSpecific, kKivSnapshot, 0, path.data());
    if (answer != 1)
        throw ToolError(command.bundle + ": the plug-in cannot render its editor offscreen");
    const std::vector<unsigned char> png = picture.contents();
    if (!isPng(png)) throw ToolError(command.bundle + ": the plug-in's snapshot is not a PNG file");
    writeAll(output.fd(), command.output, png);
    output.commit();

    reportProgramAndSettings(report, plugin, program, applied);
    report << "wrote " << command.output << ": the editor window\n";
}

} // namespace kiv::ambidec
