// SPDX-License-Identifier: GPL-3.0-or-later
// One decoder plug-in as ambidec drives it: the bundle loaded through our host, one
// instance, its program and parameter settings chosen by name or number, and the facts the
// commands print (decoder list, pin labels, display texts). Everything comes from the
// plug-in through its entry point, record and dispatcher; the only exported symbol read
// besides the entry is DecList.
//
// Thread: the main thread.
#pragma once

#include "tools/vsthost/VstHost.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kiv::ambidec {

// A --set that has been applied, with the text the plug-in now shows for it.
struct AppliedSetting {
    int index;
    std::string name;    // the plug-in's parameter name, blanks trimmed
    float value;         // normalised value sent
    std::string display; // the plug-in's display text afterwards
    std::string label;   // the plug-in's unit label
};

class PluginSession {
public:
    // Loads the bundle and creates an instance (effOpen sent). Throws ToolError naming the
    // bundle and the reason.
    explicit PluginSession(const std::string& bundle);
    ~PluginSession();

    vsthost::PluginInstance& instance() { return *instance_; }
    const std::string& bundle() const { return bundle_; }
    // The bundle's name without directories and extension, such as "RegularDecoder".
    std::string name() const;
    const std::string& soPath() const { return library_->soPath(); }

    int programCount() const;
    int inputs() const;
    int outputs() const;

    // The decoder numbers the bundle exports as DecList (seven), or empty when it has none.
    const std::vector<int>& decoderList() const { return decoderList_; }

    std::vector<std::string> parameterNames();
    std::vector<std::string> programNames();
    std::vector<std::string> inputLabels();
    std::vector<std::string> outputLabels();

    // Selects a program by number (0 based) or name (matchesProgramName). Throws ToolError
    // (a usage error) for an unknown one.
    int selectProgram(const std::string& which);
    // Applies PARAM=VALUE settings in order. Throws ToolError for an unknown parameter or a
    // value that cannot be read or lies out of range. A bundle without DecList is no decoder:
    // its values are normalised numbers (0 to 1) only.
    std::vector<AppliedSetting> applySettings(const std::vector<std::string>& settings);

    // The decoder slot the layout parameter selects, and its catalogue number (-1 when the
    // bundle has no DecList).
    int activeSlot();
    int activeDecoder();

    // effSetSampleRate, effSetBlockSize, effMainsChanged(1).
    void start(float sampleRateHz, int blockSize);
    // effMainsChanged(0) then (1): the plug-in resumes with cleared filter states.
    void restart();

private:
    std::vector<std::string> layoutNames();
    AppliedSetting applyNormalised(int index, const std::string& name, const std::string& text);

    std::string bundle_;
    std::unique_ptr<vsthost::PluginLibrary> library_;
    std::unique_ptr<vsthost::PluginInstance> instance_;
    std::vector<int> decoderList_;
    bool running_ = false;
};

// Whether a program name as the user gave it names the program the host sees as hostName:
// that name, or the program's full factory name (fullName, empty when not known) when the
// host's is that name cut short. Case, blanks, hyphens and underscores do not count.
bool matchesProgramName(const std::string& given, const std::string& hostName,
                        const std::string& fullName);

// The full factory names of the plug-in's programs, in program order (empty where unknown).
std::vector<std::string> fullProgramNames(PluginSession& plugin);

// Trims leading and trailing blanks.
std::string trimmedText(const std::string& text);

} // namespace kiv::ambidec
