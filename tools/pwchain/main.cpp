// SPDX-License-Identifier: GPL-3.0-or-later
// kiv_pwchain: the decoders as PipeWire filter-chains.
//   kiv_pwchain --all DIRECTORY     every layout for every use, as KIND-LAYOUT.conf (the build)
//   kiv_pwchain --list              the layouts, by name, short name and product
//   kiv_pwchain [--ambix | --headphones] [--set SYMBOL=VALUE]... LAYOUT FILE
//                                   one, with the user's control values (scripts/install.sh);
//                                   --headphones plays the feeds through HeadphoneMonitor
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/pwchain/FilterChainText.h"

namespace {

using namespace kiv::pwchain;

// Whole file or nothing: written beside the target, then renamed over it.
void writeFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".partial";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(error));
    }
}

int usage(const char* why) {
    std::fprintf(stderr,
                 "kiv_pwchain: %s; usage: kiv_pwchain [--ambix | --headphones] [--set "
                 "SYMBOL=VALUE]... LAYOUT "
                 "FILE | --all DIRECTORY | --list\n",
                 why);
    return 2;
}

int run(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "--list") {
        for (const DecoderChoice& c : decoderChoices())
            std::printf("%-34s %-34s %s\n", c.layout.c_str(), slugOf(c.layout).c_str(),
                        c.product.c_str());
        return 0;
    }
    if (args.size() == 2 && args[0] == "--all") {
        for (const ChainKind& kind : kChainKinds)
            for (const DecoderChoice& c : decoderChoices())
                writeFile(args[1] + "/" + kind.key + "-" + slugOf(c.layout) + ".conf",
                          filterChainText(kind, c));
        return 0;
    }
    const ChainKind* kind = &kChainKinds[0];
    bool ambix = false, headphones = false;
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--ambix") {
            ambix = true;
            kind = &kChainKinds[1];
        } else if (args[i] == "--headphones") {
            headphones = true;
            kind = &kChainKinds[2];
        } else if (args[i] == "--set") {
            if (i + 1 == args.size()) return usage("--set needs SYMBOL=VALUE");
            const std::string& s = args[++i];
            const std::size_t eq = s.find('=');
            if (eq == std::string::npos || eq == 0)
                return usage(("'" + s + "' is not SYMBOL=VALUE").c_str());
            settings.emplace_back(s.substr(0, eq), s.substr(eq + 1));
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return usage(("unknown option '" + args[i] + "'").c_str());
        } else {
            words.push_back(args[i]);
        }
    }
    if (ambix && headphones) return usage("--ambix and --headphones are separate sinks");
    if (words.size() != 2) return usage("name a LAYOUT and a FILE");
    const DecoderChoice* found = findDecoderChoice(words[0]);
    if (found == nullptr) {
        std::fprintf(stderr, "kiv_pwchain: no layout named '%s' (--list shows them)\n",
                     words[0].c_str());
        return 1;
    }
    DecoderChoice choice = *found;
    for (const auto& [symbol, value] : settings) setControl(choice, symbol, value);
    writeFile(words[1], filterChainText(*kind, choice));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kiv_pwchain: %s\n", e.what());
        return 1;
    }
}
