// SPDX-License-Identifier: GPL-3.0-or-later
// What HeadphoneMonitor's effect class publishes for its editor beside the host parameters:
// the view of the layout and set in force. The VST effect makes it on demand; the LV2 UI's
// model keeps the one the plug-in last sent. User-interface thread.
#pragma once

#include "product/HeadphoneView.h"

class HeadphoneViewSource {
public:
    virtual ~HeadphoneViewSource() = default;
    virtual HeadphoneView headphoneView() = 0;
};
