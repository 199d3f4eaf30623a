// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/HostText.h"

void copyHostText(char* destination, const char* source, std::size_t maxChars) {
    // Some hosts probe text opcodes with a null buffer; write nothing then.
    if (!destination) return;
    std::size_t n = 0;
    if (source)
        for (; n < maxChars && source[n] != '\0'; ++n) destination[n] = source[n];
    destination[n] = '\0';
}
