// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/lv2ui/Lv2UiGlue.h"

#include "host/AEffGUIEditor.h"
#include "host/AudioEffect.h"
#include "host/VstOpcodes.h"
#include "product/ProductDescription.h"
#include "toolkit/CFrame.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace kiv::lv2ui {

namespace {

class Ui {
public:
    Ui(const UiFace& face, LV2UI_Write_Function write, LV2UI_Controller controller,
       const LV2UI_Touch* touch)
        : product(*face.product), write(write), controller(controller), touch(touch) {
        effect = face.createEffect(&hostCallback);
        if (effect) effect->getAeffect()->user = this;
    }
    ~Ui() {
        if (effect) {
            call(effEditClose);
            delete effect;
        }
        if (ownDisplay) {
            if (ownWindow) XDestroyWindow(ownDisplay, ownWindow);
            XCloseDisplay(ownDisplay);
        }
    }
    Ui(const Ui&) = delete;
    Ui& operator=(const Ui&) = delete;

    // The editor's window inside parent (an XID), or in a top-level window of our own when
    // it is 0. The editor's child window, 0 when none could be opened.
    unsigned long open(unsigned long parent) {
        if (!effect) return 0;
        ERect* rect = nullptr;
        call(effEditGetRect, 0, 0, &rect);
        width_ = rect ? rect->right - rect->left : 0;
        height_ = rect ? rect->bottom - rect->top : 0;
        if (width_ <= 0 || height_ <= 0) return 0;
        if (!parent) parent = openOwnWindow(width_, height_);
        if (!parent) return 0;
        call(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)));
        auto* editor = dynamic_cast<AEffGUIEditor*>(effect->getEditor());
        auto* frame = editor ? dynamic_cast<VSTGUI::CFrame*>(editor->getFrame()) : nullptr;
        return frame ? frame->getWindowId() : 0;
    }

    void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
        if (format != 0 || size != sizeof(float) || !buffer || !effect) return;
        const uint32_t first = static_cast<uint32_t>(product.numInputs + product.numOutputs);
        if (port < first || port >= first + kNumParameters) return; // audio ports
        const int index = static_cast<int>(port - first);
        float physical = 0.0f;
        std::memcpy(&physical, buffer, sizeof physical);
        // The effect's own guard takes NaN and clamps; the editor moves at the next idle.
        effect->getAeffect()->setParameter(effect->getAeffect(), index,
                                           normalisedFromPhysical(kParameters[index], physical));
    }

    void idle() {
        if (effect) call(effEditIdle);
    }

    int width() const { return width_; }
    int height() const { return height_; }

private:
    VstIntPtr call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
        AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, index, value, ptr, 0.0f);
    }

    unsigned long openOwnWindow(int width, int height) {
        ownDisplay = XOpenDisplay(nullptr);
        if (!ownDisplay) return 0;
        ownWindow = XCreateSimpleWindow(ownDisplay, DefaultRootWindow(ownDisplay), 0, 0,
                                        unsigned(width), unsigned(height), 0, 0, 0);
        XStoreName(ownDisplay, ownWindow, product.productString);
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(ownDisplay, ownWindow, hints);
        XFree(hints);
        XMapWindow(ownDisplay, ownWindow);
        XSync(ownDisplay, False);
        return ownWindow;
    }

    // Edits of the editor: automation becomes a port write, begin and end edit a touch.
    VstIntPtr hostCall(VstInt32 opcode, VstInt32 index, float opt) {
        const bool parameter = index >= 0 && index < kNumParameters;
        const uint32_t port = static_cast<uint32_t>(product.numInputs + product.numOutputs + index);
        switch (opcode) {
        case audioMasterAutomate:
            if (parameter && write) {
                const float physical = physicalFromNormalised(kParameters[index], opt);
                write(controller, port, sizeof physical, 0, &physical);
            }
            return 0;
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
            if (parameter && touch && touch->touch)
                touch->touch(touch->handle, port, opcode == audioMasterBeginEdit);
            return 1;
        default:
            return 0;
        }
    }

    static VstIntPtr hostCallback(AEffect* record, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                  void*, float opt) {
        if (opcode == audioMasterVersion) return 2400;
        // Calls made while the effect is being built come before it knows its UI.
        Ui* ui = record ? static_cast<Ui*>(record->user) : nullptr;
        return ui ? ui->hostCall(opcode, index, opt) : 0;
    }

    const ProductDescription& product;
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    AudioEffect* effect = nullptr;
    Display* ownDisplay = nullptr;
    Window ownWindow = 0;
    int width_ = 0;
    int height_ = 0;
};

const void* feature(const LV2_Feature* const* features, const char* uri) {
    if (!features) return nullptr;
    for (const LV2_Feature* const* f = features; *f; ++f)
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

int idleUi(LV2UI_Handle handle) {
    if (handle) static_cast<Ui*>(handle)->idle();
    return 0;
}

const LV2UI_Idle_Interface kIdleInterface = {&idleUi};

} // namespace

LV2UI_Handle instantiateUi(const UiFace& face, const char* pluginUri,
                           LV2UI_Write_Function writeFunction, LV2UI_Controller controller,
                           LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (!face.product || !face.createEffect) return nullptr;
    if (pluginUri && std::strcmp(pluginUri, face.product->uri) != 0) return nullptr;
    const auto parent = reinterpret_cast<std::uintptr_t>(feature(features, LV2_UI__parent));
    const auto* touch = static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch));
    const auto* resize = static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize));

    auto* ui = new Ui(face, writeFunction, controller, touch);
    const unsigned long window = ui->open(parent);
    if (!window) {
        delete ui;
        return nullptr;
    }
    if (widget) *widget = reinterpret_cast<LV2UI_Widget>(static_cast<std::uintptr_t>(window));
    // The window has one size; a host that can resize its own tells it so.
    if (resize && resize->ui_resize) resize->ui_resize(resize->handle, ui->width(), ui->height());
    return ui;
}

void cleanupUi(LV2UI_Handle handle) {
    delete static_cast<Ui*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t bufferSize, uint32_t format,
               const void* buffer) {
    if (handle) static_cast<Ui*>(handle)->portEvent(port, bufferSize, format, buffer);
}

const void* extensionData(const char* uri) {
    return uri && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdleInterface : nullptr;
}

} // namespace kiv::lv2ui
