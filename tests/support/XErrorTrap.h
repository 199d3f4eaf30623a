// SPDX-License-Identifier: GPL-3.0-or-later
// X errors in tests. Xlib's default handler prints the error and calls exit(): the test
// process ends without its destructors and without a result. While a trap is set, each
// error is recorded instead; the reader of the error's request may take it (and retry), and
// those nobody took fail the test when the trap goes. Traps nest and share one record.
// Include after the test framework: Xlib's macros would clash with its names.
#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstddef>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace kiv::test {

struct XErrorRecord {
    Display* display;
    unsigned long serial;
    std::string text;
};

struct XErrorLog {
    std::mutex lock;
    std::vector<XErrorRecord> records;
};

inline XErrorLog& xErrorLog() {
    static XErrorLog log;
    return log;
}

inline int recordXError(Display* display, XErrorEvent* event) {
    char name[160] = {};
    XGetErrorText(display, event->error_code, name, sizeof name);
    std::ostringstream text;
    text << name << ", request " << int(event->request_code) << "." << int(event->minor_code)
         << ", resource 0x" << std::hex << event->resourceid;
    XErrorLog& log = xErrorLog();
    const std::lock_guard<std::mutex> hold(log.lock);
    log.records.push_back({display, event->serial, text.str()});
    return 0;
}

class XErrorTrap {
public:
    XErrorTrap() : previous(XSetErrorHandler(&recordXError)) {
        const std::lock_guard<std::mutex> hold(xErrorLog().lock);
        mark = xErrorLog().records.size();
    }
    ~XErrorTrap() {
        XSetErrorHandler(previous);
        for (const std::string& error : take()) ADD_FAILURE() << "X error: " << error;
    }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Takes the errors recorded since the trap was set.
    std::vector<std::string> take() {
        return takeWhere([](const XErrorRecord&) { return true; });
    }
    // Takes those of one connection's requests from the serial first on.
    std::vector<std::string> take(Display* display, unsigned long first) {
        return takeWhere([&](const XErrorRecord& r) {
            return r.display == display && long(r.serial - first) >= 0;
        });
    }

private:
    template <typename Match> std::vector<std::string> takeWhere(Match match) {
        std::vector<std::string> taken;
        XErrorLog& log = xErrorLog();
        const std::lock_guard<std::mutex> hold(log.lock);
        for (std::size_t i = mark; i < log.records.size();) {
            if (match(log.records[i])) {
                taken.push_back(log.records[i].text);
                log.records.erase(log.records.begin() + long(i));
            } else {
                ++i;
            }
        }
        return taken;
    }

    XErrorHandler previous;
    std::size_t mark = 0;
};

} // namespace kiv::test
