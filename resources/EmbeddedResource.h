// SPDX-License-Identifier: GPL-3.0-or-later
// A picture compiled into the plug-in: resource number and PNG bytes.
// Tables of these end with an entry whose number is 0.
#pragma once

#include <cstddef>

struct EmbeddedResource {
    int number;
    const unsigned char* data;
    std::size_t size;
};

// Each bundle links the table of its own pictures.
extern const EmbeddedResource kEditorPictures[];
