// SPDX-License-Identifier: GPL-3.0-or-later
// A small VST 2.4 host of our own: loads a bundle's .so with dlopen, reaches the plug-in
// only through VSTPluginMain, the effect record and the host callback, as a real host does,
// and records every host call it receives. Used by the test suites and by ambidec.
//
// Threads: one PluginInstance may be driven from several threads the way hosts do
// (dispatcher on one, processReplacing on another); the host-call log is guarded.
#pragma once

#include "host/VstRecords.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kiv::vsthost {

// One call the plug-in made into the host.
struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
    bool withEffect; // false when the effect pointer was null (the version query)
};

// A loaded plug-in library. Accepts a bundle directory (X.vst, whose
// Contents/x86_64-linux/X.so is loaded) or the path of a .so itself.
class PluginLibrary {
public:
    // Null with a one-line reason in error when the file is missing, does not load or
    // exports no VSTPluginMain.
    static std::unique_ptr<PluginLibrary> open(const std::string& path, std::string& error);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& soPath() const { return soPath_; }
    // The address of an exported symbol, or null.
    void* symbol(const char* name) const;
    // Calls VSTPluginMain with the given callback.
    AEffect* callEntry(audioMasterCallback callback) const;

private:
    PluginLibrary(void* handle, std::string soPath, void* entry);
    void* handle_;
    std::string soPath_;
    void* entry_;
};

// The host's side of one plug-in instance. The destructor sends effClose unless close()
// already did.
class PluginInstance {
public:
    // Null with a reason when VSTPluginMain returns null or a record with a wrong magic.
    // hostVersion is the answer to audioMasterVersion (0 makes the entry refuse).
    static std::unique_ptr<PluginInstance> create(const PluginLibrary& library, std::string& error,
                                                  VstIntPtr hostVersion = 2400);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    // effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged(1).
    void start(float sampleRate, VstInt32 blockSize);
    void stop(); // effMainsChanged(0)
    // effClose through the record; the record is gone afterwards.
    VstIntPtr close();
    bool closed() const { return effect_ == nullptr; }

    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    void processReplacing(float** inputs, float** outputs, VstInt32 frames);

    // Text answers through the dispatcher, read into a 256-byte zeroed buffer.
    std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);
    std::string parameterName(VstInt32 index);
    std::string parameterLabel(VstInt32 index);
    std::string parameterDisplay(VstInt32 index);
    std::string programName();
    std::string programNameIndexed(VstInt32 index);
    std::string effectName();
    std::string vendorString();
    std::string productString();
    bool inputProperties(VstInt32 index, VstPinProperties& properties);
    bool outputProperties(VstInt32 index, VstPinProperties& properties);
    // effEditGetRect: false when the plug-in answers 0 or hands out no rectangle.
    bool editorRect(ERect& rect);

    // Host calls received since creation (or since clearHostCalls), in order.
    std::vector<HostCall> hostCalls() const;
    void clearHostCalls();
    // The host's answer to an opcode; 0 for every opcode not set (audioMasterVersion
    // answers hostVersion). A handler, when set, is called after recording and its answer
    // is returned instead.
    void setHostAnswer(VstInt32 opcode, VstIntPtr answer);
    void setHostHandler(std::function<VstIntPtr(const HostCall&, void* ptr)> handler);

private:
    PluginInstance() = default;
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float opt);
    VstIntPtr answer(const HostCall& call, void* ptr);

    AEffect* effect_ = nullptr;
    VstIntPtr hostVersion_ = 2400;
    mutable std::mutex mutex_;
    std::vector<HostCall> calls_;
    std::vector<std::pair<VstInt32, VstIntPtr>> answers_;
    std::function<VstIntPtr(const HostCall&, void* ptr)> handler_;
};

} // namespace kiv::vsthost
