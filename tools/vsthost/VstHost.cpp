// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/vsthost/VstHost.h"

#include "host/VstOpcodes.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstring>
#include <utility>

namespace kiv::vsthost {

namespace {

// The instance being created: VSTPluginMain asks for the host version before any record
// exists, so the callback cannot find its instance through the record yet.
thread_local PluginInstance* creating = nullptr;

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// X.vst -> X.vst/Contents/x86_64-linux/X.so
std::string soInBundle(std::string bundle) {
    while (bundle.size() > 1 && bundle.back() == '/') bundle.pop_back();
    std::string name = bundle.substr(bundle.rfind('/') + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return bundle + "/Contents/x86_64-linux/" + name + ".so";
}

} // namespace

PluginLibrary::PluginLibrary(void* handle, std::string soPath, void* entry)
    : handle_(handle), soPath_(std::move(soPath)), entry_(entry) {}

PluginLibrary::~PluginLibrary() {
    dlclose(handle_);
}

std::unique_ptr<PluginLibrary> PluginLibrary::open(const std::string& path, std::string& error) {
    if (!exists(path)) {
        error = path + ": no such file or directory";
        return nullptr;
    }
    const std::string so = isDirectory(path) ? soInBundle(path) : path;
    if (!exists(so)) {
        error = path + ": not a plug-in bundle (no " + so + ")";
        return nullptr;
    }
    void* handle = dlopen(so.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = so + ": cannot be loaded: " + (why ? why : "unknown reason");
        return nullptr;
    }
    void* entry = dlsym(handle, "VSTPluginMain");
    if (!entry) {
        dlclose(handle);
        error = so + ": exports no VSTPluginMain";
        return nullptr;
    }
    return std::unique_ptr<PluginLibrary>(new PluginLibrary(handle, so, entry));
}

void* PluginLibrary::symbol(const char* name) const {
    return dlsym(handle_, name);
}

AEffect* PluginLibrary::callEntry(audioMasterCallback callback) const {
    using Entry = AEffect* (*)(audioMasterCallback);
    return reinterpret_cast<Entry>(entry_)(callback);
}

std::unique_ptr<PluginInstance> PluginInstance::create(const PluginLibrary& library,
                                                       std::string& error, VstIntPtr hostVersion) {
    std::unique_ptr<PluginInstance> instance(new PluginInstance());
    instance->hostVersion_ = hostVersion;
    instance->calls_.reserve(1024);
    creating = instance.get();
    AEffect* effect = library.callEntry(&PluginInstance::hostCallback);
    creating = nullptr;
    if (!effect) {
        error = library.soPath() + ": the plug-in created no instance";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        error = library.soPath() + ": the plug-in returned a record with a wrong magic number";
        return nullptr;
    }
    effect->user = instance.get();
    instance->effect_ = effect;
    return instance;
}

PluginInstance::~PluginInstance() {
    if (effect_) close();
}

VstIntPtr PluginInstance::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                       VstIntPtr value, void* ptr, float opt) {
    PluginInstance* self = creating;
    if (effect && effect->user) self = static_cast<PluginInstance*>(effect->user);
    const HostCall call{opcode, index, value, opt, effect != nullptr};
    if (!self) return opcode == audioMasterVersion ? 2400 : 0;
    return self->answer(call, ptr);
}

VstIntPtr PluginInstance::answer(const HostCall& call, void* ptr) {
    std::function<VstIntPtr(const HostCall&, void*)> handler;
    VstIntPtr result = call.opcode == audioMasterVersion ? hostVersion_ : 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
        for (const auto& [opcode, answer] : answers_)
            if (opcode == call.opcode) result = answer;
        handler = handler_;
    }
    return handler ? handler(call, ptr) : result;
}

VstIntPtr PluginInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    if (!effect_) return 0;
    if (opcode == effClose) return close();
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void PluginInstance::start(float sampleRate, VstInt32 blockSize) {
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
}

void PluginInstance::stop() {
    dispatch(effMainsChanged, 0, 0);
}

VstIntPtr PluginInstance::close() {
    if (!effect_) return 0;
    AEffect* effect = effect_;
    effect_ = nullptr;
    return effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void PluginInstance::setParameter(VstInt32 index, float value) {
    if (effect_) effect_->setParameter(effect_, index, value);
}

float PluginInstance::getParameter(VstInt32 index) {
    return effect_ ? effect_->getParameter(effect_, index) : 0.0f;
}

void PluginInstance::processReplacing(float** inputs, float** outputs, VstInt32 frames) {
    if (effect_) effect_->processReplacing(effect_, inputs, outputs, frames);
}

std::string PluginInstance::text(VstInt32 opcode, VstInt32 index, VstIntPtr value) {
    char buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    dispatch(opcode, index, value, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::string PluginInstance::parameterName(VstInt32 index) {
    return text(effGetParamName, index);
}
std::string PluginInstance::parameterLabel(VstInt32 index) {
    return text(effGetParamLabel, index);
}
std::string PluginInstance::parameterDisplay(VstInt32 index) {
    return text(effGetParamDisplay, index);
}
std::string PluginInstance::programName() {
    return text(effGetProgramName);
}
std::string PluginInstance::programNameIndexed(VstInt32 index) {
    return text(effGetProgramNameIndexed, index);
}
std::string PluginInstance::effectName() {
    return text(effGetEffectName);
}
std::string PluginInstance::vendorString() {
    return text(effGetVendorString);
}
std::string PluginInstance::productString() {
    return text(effGetProductString);
}

bool PluginInstance::inputProperties(VstInt32 index, VstPinProperties& properties) {
    std::memset(&properties, 0, sizeof properties);
    return dispatch(effGetInputProperties, index, 0, &properties) != 0;
}

bool PluginInstance::outputProperties(VstInt32 index, VstPinProperties& properties) {
    std::memset(&properties, 0, sizeof properties);
    return dispatch(effGetOutputProperties, index, 0, &properties) != 0;
}

bool PluginInstance::editorRect(ERect& rect) {
    ERect* answer = nullptr;
    if (dispatch(effEditGetRect, 0, 0, &answer) == 0 || !answer) return false;
    rect = *answer;
    return true;
}

std::vector<HostCall> PluginInstance::hostCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

void PluginInstance::clearHostCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}

void PluginInstance::setHostAnswer(VstInt32 opcode, VstIntPtr answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : answers_)
        if (entry.first == opcode) {
            entry.second = answer;
            return;
        }
    answers_.emplace_back(opcode, answer);
}

void PluginInstance::setHostHandler(std::function<VstIntPtr(const HostCall&, void* ptr)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

} // namespace kiv::vsthost
