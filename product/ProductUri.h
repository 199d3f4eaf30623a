// SPDX-License-Identifier: GPL-3.0-or-later
// The URIs by which formats that name products by URI (LV2) know a product, all made from
// its name: "urn:kivtone:<name>" for the plug-in, "<plug-in>:ui" for its editor window,
// "<plug-in>:preset:<n>" for its factory programs.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

inline constexpr const char* kProductUriPrefix = "urn:kivtone:";

// A URI as constant data, so that a descriptor a host reads at load time can point at it.
struct ProductUri {
    static constexpr std::size_t kCapacity = 64;
    char text[kCapacity] = {};
};

// kProductUriPrefix + name + suffix. Made as a constant, a URI that does not fit does not
// compile.
constexpr ProductUri makeProductUri(const char* name, const char* suffix = "") {
    ProductUri uri{};
    std::size_t n = 0;
    const char* const parts[] = {kProductUriPrefix, name, suffix};
    for (const char* part : parts)
        for (; *part; ++part) {
            if (n + 1 >= ProductUri::kCapacity) throw std::length_error("product URI too long");
            uri.text[n++] = *part;
        }
    return uri;
}

// The URI of factory program `program` of the plug-in `pluginUri`.
inline std::string presetUri(const char* pluginUri, int program) {
    return std::string(pluginUri) + ":preset:" + std::to_string(program);
}
