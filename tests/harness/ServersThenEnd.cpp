// SPDX-License-Identifier: GPL-3.0-or-later
// A test program that ends badly while its servers run: it starts Xvfb and a JACK server
// the way the window and live tests do, writes their process ids into DIR/pids, and then
// ends without its destructors.
//   servers_then_end exit DIR     calls exit(1)
//   servers_then_end xerror DIR   makes an X error under Xlib's default handler (which exits)
//   servers_then_end hang DIR     waits until it is killed (CTest's timeout)
#include "LiveJack.h"
#include "XvfbServer.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string mode = argv[1], dir = argv[2];
    auto* xvfb = new XvfbServer(dir + "/xvfb.log");
    if (xvfb->name().empty()) return 3;
    auto* jackd = new JackServer("kivharness" + std::to_string(getpid()), dir + "/jackd.log");
    jack_client_t* client = jackd->connect("kivharness");
    if (!client) return 4;
    std::ofstream(dir + "/pids") << xvfb->pid() << " " << jackd->pid() << "\n"
                                 << jackd->name() << "\n";
    std::fflush(nullptr);

    if (mode == "exit") std::exit(1);
    if (mode == "xerror") {
        // Reading an unmapped window's pixels: BadMatch.
        Display* x = XOpenDisplay(xvfb->name().c_str());
        if (!x) return 5;
        const Window w = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
        XGetImage(x, w, 0, 0, 10, 10, AllPlanes, ZPixmap);
        XSync(x, False);
        return 6; // not reached: the default handler has exited
    }
    if (mode == "hang")
        for (;;) pause();
    return 2;
}
