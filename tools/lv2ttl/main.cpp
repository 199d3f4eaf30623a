// SPDX-License-Identifier: GPL-3.0-or-later
// kiv_lv2ttl PRODUCT DIRECTORY: writes manifest.ttl, PRODUCT.ttl and presets.ttl of the
// product's LV2 bundle into DIRECTORY, from the product description (a decoder's, the
// B-format converter's, LayoutDecoder's or HeadphoneMonitor's). Run by the build.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "product/ConverterProduct.h"
#include "product/HeadphoneMonitorProduct.h"
#include "product/LayoutDecoderProduct.h"
#include "tools/lv2ttl/BundleTurtle.h"
#include "tools/lv2ttl/ConverterTurtle.h"
#include "tools/lv2ttl/HeadphoneTurtle.h"
#include "tools/lv2ttl/LayoutTurtle.h"

namespace {

const ProductDescription* productNamed(const char* name) {
    for (const ProductDescription* p : {&kRegularDecoderProduct, &kIrregularDecoderProduct})
        if (std::strcmp(p->name, name) == 0) return p;
    return nullptr;
}

// Whole file or nothing: written beside the target, then renamed over it.
bool writeFile(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) {
        error = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

// manifest.ttl, NAME.ttl and presets.ttl of the named product, as (file name, text).
std::vector<std::pair<std::string, std::string>> turtleFilesOf(const std::string& name) {
    if (const ProductDescription* product = productNamed(name.c_str()))
        return {{"manifest.ttl", kiv::lv2ttl::manifestTtl(*product)},
                {name + ".ttl", kiv::lv2ttl::pluginTtl(*product)},
                {"presets.ttl", kiv::lv2ttl::presetsTtl(*product)}};
    if (name == kBFormatConverterProduct.name)
        return {{"manifest.ttl", kiv::lv2ttl::converterManifestTtl()},
                {name + ".ttl", kiv::lv2ttl::converterPluginTtl()},
                {"presets.ttl", kiv::lv2ttl::converterPresetsTtl()}};
    if (name == kLayoutDecoderProduct.name)
        return {{"manifest.ttl", kiv::lv2ttl::layoutManifestTtl()},
                {name + ".ttl", kiv::lv2ttl::layoutPluginTtl()},
                {"presets.ttl", kiv::lv2ttl::layoutPresetsTtl()}};
    if (name == kHeadphoneMonitorProduct.name)
        return {{"manifest.ttl", kiv::lv2ttl::headphoneManifestTtl()},
                {name + ".ttl", kiv::lv2ttl::headphonePluginTtl()}};
    return {};
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(
            stderr,
            "usage: kiv_lv2ttl RegularDecoder|IrregularDecoder|BFormatConverter|LayoutDecoder|"
            "HeadphoneMonitor DIRECTORY\n");
        return 2;
    }
    std::vector<std::pair<std::string, std::string>> files;
    try {
        files = turtleFilesOf(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kiv_lv2ttl: %s\n", e.what());
        return 1;
    }
    if (files.empty()) {
        std::fprintf(stderr, "kiv_lv2ttl: no product named '%s'\n", argv[1]);
        return 2;
    }
    for (const auto& [name, text] : files) {
        std::string error;
        if (!writeFile(std::string(argv[2]) + "/" + name, text, error)) {
            std::fprintf(stderr, "kiv_lv2ttl: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
