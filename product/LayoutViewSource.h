// SPDX-License-Identifier: GPL-3.0-or-later
// What LayoutDecoder's effect class publishes for its editor beside the host parameters:
// the view of the layout in force. The VST effect makes it from the decoder it installed; the
// LV2 UI's model keeps the one the plug-in last sent. User-interface thread.
#pragma once

#include "product/LayoutView.h"

class LayoutViewSource {
public:
    virtual ~LayoutViewSource() = default;
    virtual LayoutView layoutView() = 0;
};
