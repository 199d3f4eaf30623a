// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/lv2ui/Lv2UiGlue.h"

#include "host/AEffGUIEditor.h"
#include "host/AudioEffect.h"
#include "host/VstOpcodes.h"
#include "product/ProductDescription.h"
#include "toolkit/CFrame.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/patch/patch.h>
#include <lv2/urid/urid.h>

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
       const LV2UI_Touch* touch, LV2_URID_Map* map)
        : product(face.product), ports(face.ports), write(write), controller(controller),
          touch(touch) {
        if (ports && map) {
            mapped = true;
            urids.eventTransfer = map->map(map->handle, LV2_ATOM__eventTransfer);
            urids.object = map->map(map->handle, LV2_ATOM__Object);
            urids.urid = map->map(map->handle, LV2_ATOM__URID);
            urids.path = map->map(map->handle, LV2_ATOM__Path);
            urids.chunk = map->map(map->handle, LV2_ATOM__Chunk);
            urids.patchGet = map->map(map->handle, LV2_PATCH__Get);
            urids.patchSet = map->map(map->handle, LV2_PATCH__Set);
            urids.property = map->map(map->handle, LV2_PATCH__property);
            urids.value = map->map(map->handle, LV2_PATCH__value);
            urids.view = map->map(map->handle, ports->viewProperty);
            for (int f = 0; f < UiPorts::kMaxFiles; ++f)
                if (ports->files[f].uri)
                    urids.files[f] = map->map(map->handle, ports->files[f].uri);
            lv2_atom_forge_init(&forge, map);
        }
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
        askForView();
        auto* editor = dynamic_cast<AEffGUIEditor*>(effect->getEditor());
        auto* frame = editor ? dynamic_cast<VSTGUI::CFrame*>(editor->getFrame()) : nullptr;
        return frame ? frame->getWindowId() : 0;
    }

    void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
        if (!buffer || !effect) return;
        if (ports) {
            if (port == ports->notifyOut && mapped && format == urids.eventTransfer)
                takeMessage(size, buffer);
            if (format != 0 || size != sizeof(float) || port < ports->firstControlPort ||
                port >= ports->firstControlPort + uint32_t(ports->numParameters))
                return;
            float physical = 0.0f;
            std::memcpy(&physical, buffer, sizeof physical);
            const int index = static_cast<int>(port - ports->firstControlPort);
            effect->getAeffect()->setParameter(effect->getAeffect(), index,
                                               ports->normalised(index, physical));
            return;
        }
        if (format != 0 || size != sizeof(float)) return;
        const uint32_t first = static_cast<uint32_t>(product->numInputs + product->numOutputs);
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
        XStoreName(ownDisplay, ownWindow, ports ? ports->title : product->productString);
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
    VstIntPtr hostCall(VstInt32 opcode, VstInt32 index, void* ptr, float opt) {
        const int count = ports ? ports->numParameters : kNumParameters;
        const bool parameter = index >= 0 && index < count;
        const uint32_t port =
            ports ? ports->firstControlPort + static_cast<uint32_t>(index)
                  : static_cast<uint32_t>(product->numInputs + product->numOutputs + index);
        switch (opcode) {
        case audioMasterAutomate:
            if (parameter && write) {
                const float physical = ports ? ports->physical(index, opt)
                                             : physicalFromNormalised(kParameters[index], opt);
                write(controller, port, sizeof physical, 0, &physical);
            }
            return 0;
        case audioMasterVendorSpecific:
            for (int f = 0; ports && ptr && f < UiPorts::kMaxFiles; ++f)
                if (ports->files[f].uri && ports->files[f].request == index)
                    return sendPath(urids.files[f], static_cast<const char*>(ptr));
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
                                  void* ptr, float opt) {
        if (opcode == audioMasterVersion) return 2400;
        // Calls made while the effect is being built come before it knows its UI.
        Ui* ui = record ? static_cast<Ui*>(record->user) : nullptr;
        return ui ? ui->hostCall(opcode, index, ptr, opt) : 0;
    }

    // ---- patch messages (a product with ports of its own, with urid:map) ----

    // Writes the forged atom to the plug-in's control port.
    void sendForged() {
        const auto* atom = reinterpret_cast<const LV2_Atom*>(message);
        write(controller, ports->controlIn, uint32_t(sizeof(LV2_Atom) + atom->size),
              urids.eventTransfer, atom);
    }

    void askForView() {
        if (!mapped || !write) return;
        lv2_atom_forge_set_buffer(&forge, message, sizeof message);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&forge, &frame, 0, urids.patchGet);
        lv2_atom_forge_key(&forge, urids.property);
        lv2_atom_forge_urid(&forge, urids.view);
        lv2_atom_forge_pop(&forge, &frame);
        sendForged();
    }

    VstIntPtr sendPath(LV2_URID property, const char* path) {
        const std::size_t bytes = std::strlen(path);
        if (!mapped || !write || bytes == 0 || bytes + 256 > sizeof message) return 0;
        lv2_atom_forge_set_buffer(&forge, message, sizeof message);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&forge, &frame, 0, urids.patchSet);
        lv2_atom_forge_key(&forge, urids.property);
        lv2_atom_forge_urid(&forge, property);
        lv2_atom_forge_key(&forge, urids.value);
        lv2_atom_forge_path(&forge, path, static_cast<uint32_t>(bytes));
        lv2_atom_forge_pop(&forge, &frame);
        sendForged();
        return 1;
    }

    // A patch:Set of the view property: its chunk goes to the model, which checks its size.
    void takeMessage(uint32_t size, const void* buffer) {
        const auto* atom = static_cast<const LV2_Atom*>(buffer);
        if (size < sizeof(LV2_Atom_Object) || atom->type != urids.object ||
            atom->size > size - sizeof(LV2_Atom))
            return;
        const auto* object = static_cast<const LV2_Atom_Object*>(buffer);
        if (object->body.otype != urids.patchSet) return;
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, urids.property, &property, urids.value, &value, 0);
        if (!property || property->type != urids.urid || property->size != sizeof(LV2_URID) ||
            reinterpret_cast<const LV2_Atom_URID*>(property)->body != urids.view || !value ||
            value->type != urids.chunk)
            return;
        call(effVendorSpecific, kKivTakeLayoutView, static_cast<VstIntPtr>(value->size),
             const_cast<void*>(LV2_ATOM_BODY_CONST(value)));
    }

    struct Urids {
        LV2_URID eventTransfer, object, urid, path, chunk, patchGet, patchSet, property, value,
            view;
        LV2_URID files[UiPorts::kMaxFiles];
    };

    const ProductDescription* product;
    const UiPorts* ports;
    bool mapped = false;
    Urids urids{};
    LV2_Atom_Forge forge{};
    alignas(8) std::uint8_t message[4096] = {};
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
    if ((!face.product && !face.ports) || !face.createEffect) return nullptr;
    const char* uri = face.ports ? face.ports->pluginUri : face.product->uri;
    if (pluginUri && std::strcmp(pluginUri, uri) != 0) return nullptr;
    const auto parent = reinterpret_cast<std::uintptr_t>(feature(features, LV2_UI__parent));
    const auto* touch = static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch));
    const auto* resize = static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize));

    auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(feature(features, LV2_URID__map)));
    auto* ui = new Ui(face, writeFunction, controller, touch, map);
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
