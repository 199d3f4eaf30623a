// SPDX-License-Identifier: GPL-3.0-or-later
// The parent window a host hands an editor on effEditOpen: a plain top-level X window of
// the editor's size on a display connection of our own, or none when no X server can be
// reached (the editor then draws offscreen). An X error on the way fails the test. Create,
// use and destroy it on one thread.
#pragma once

#include <cstdint>
#include <memory>

namespace kiv::test {
class XErrorTrap;
}

namespace kiv::validation {

class HostWindow {
public:
    HostWindow(int width, int height);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // What effEditOpen's ptr carries: the X window id, or null without a display.
    void* handle() const;
    // Handles the events queued for our own connection, as a host's event loop does.
    void pump();

private:
    std::unique_ptr<test::XErrorTrap> trap_; // an X error fails the test, never ends it
    void* display_ = nullptr;                // Display*
    std::uintptr_t window_ = 0;
};

} // namespace kiv::validation
