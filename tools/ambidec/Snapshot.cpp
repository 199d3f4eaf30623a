#include "tools/ambidec/Snapshot.h"

#include "host/VstOpcodes.h"
#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/PluginSession.h"
#include "tools/ambidec/SettingsReport.h"
#include "tools/ambidec/ToolError.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace kiv::ambidec {

namespace {

// By name: the plug-in may have replaced the file rather than written into it.
bool startsWithPngSignature(const std::string& path) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    unsigned char head[8] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool png = ::read(fd, head, sizeof head) == static_cast<ssize_t>(sizeof head) &&
                     std::memcmp(head, signature, sizeof head) == 0;
    ::close(fd);
    return png;
}

} // namespace

void snapshotCommand(const Command& command, std::ostream& report) {
    PluginSession plugin(command.bundle);
    const int program = command.program
                            ? plugin.selectProgram(*command.program)
                            : static_cast<int>(plugin.instance().dispatch(effGetProgram));
    const auto applied = plugin.applySettings(command.settings);

    AtomicOutput output(command.output, command.force);
    std::string path = output.temporaryPath();
    const VstIntPtr answer =
        plugin.instance().dispatch(effVendorSpecific, kKivSnapshot, 0, path.data());
    if (answer != 1)
        throw ToolError(command.bundle + ": the plug-in cannot render its editor offscreen");
    if (!startsWithPngSignature(output.temporaryPath()))
        throw ToolError(command.bundle + ": the plug-in's snapshot is not a PNG file");
    output.commit();

    reportProgramAndSettings(report, plugin, program, applied);
    report << "wrote " << command.output << ": the editor window\n";
}

} // namespace kiv::ambidec
