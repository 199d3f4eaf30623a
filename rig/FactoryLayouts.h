// SPDX-License-Identifier: GPL-3.0-or-later
// The layouts that come with the decoder, as data: ITU and BS.2051 rooms, a 12-speaker ring
// and an 8+8 dome, speakers at 2 m in output order. Any thread.
#pragma once

#include <string>
#include <vector>

#include "rig/Layout.h"

// Every factory layout, validated, in the order they are offered.
const std::vector<Layout>& factoryLayouts();

// The factory layout of that name, or nullptr.
const Layout* factoryLayout(const std::string& name);
