// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/LayoutFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "rig/AmbdecReader.h"
#include "rig/IemJsonReader.h"
#include "rig/RigError.h"
#include "rig/SpeakerListReader.h"

namespace {

bool endsWith(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
    return true;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

LayoutFormat layoutFormatOfName(const std::string& fileName) {
    if (endsWith(fileName, ".ambdec")) return LayoutFormat::Ambdec;
    if (endsWith(fileName, ".json")) return LayoutFormat::IemJson;
    return LayoutFormat::SpeakerList;
}

std::string readLayoutFileText(const std::string& path) {
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) throw RigError(path + ": cannot open: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) throw RigError(path + ": cannot read: " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw RigError(path + ": is a directory, not a layout file");
    if (!S_ISREG(st.st_mode))
        throw RigError(path + ": is not a regular file (a FIFO, device or socket)");
    if (st.st_size > kMaxLayoutFileBytes)
        throw RigError(path + ": is " + std::to_string(st.st_size / 1024) +
                       " KiB, layout files are at most 1024 KiB");
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw RigError(path + ": cannot read: " + std::strerror(errno));
        }
        if (got == 0) break;
        if (static_cast<long>(text.size()) + got > kMaxLayoutFileBytes)
            throw RigError(path + ": grew beyond 1024 KiB while it was read");
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

void checkLayoutText(const std::string& text, const std::string& where) {
    if (static_cast<long>(text.size()) > kMaxLayoutFileBytes)
        throw RigError(where + ": is larger than 1024 KiB");
    int line = 1;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned c = p[i];
        if (c == '\n') ++line;
        if (c == 0) throw RigError(where + ":" + std::to_string(line) + ": holds a NUL byte");
        size_t extra = 0;
        unsigned min = 0, code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, code = c & 0x07;
        } else {
            throw RigError(where + ":" + std::to_string(line) + ": is not UTF-8 text");
        }
        if (i + extra >= n)
            throw RigError(where + ":" + std::to_string(line) + ": is not UTF-8 text");
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                throw RigError(where + ":" + std::to_string(line) + ": is not UTF-8 text");
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            throw RigError(where + ":" + std::to_string(line) + ": is not UTF-8 text");
        i += extra + 1;
    }
}

Layout parseLayout(const std::string& text, LayoutFormat format, const std::string& where) {
    checkLayoutText(text, where);
    Layout layout;
    switch (format) {
    case LayoutFormat::Ambdec:
        layout = parseAmbdec(text, where);
        break;
    case LayoutFormat::IemJson:
        layout = parseIemJson(text, where);
        break;
    case LayoutFormat::SpeakerList:
        layout = parseSpeakerList(text, where);
        break;
    }
    validateLayout(layout, where);
    return layout;
}

Layout readLayoutFile(const std::string& path) {
    Layout layout = parseLayout(readLayoutFileText(path), layoutFormatOfName(path), path);
    if (layout.name.empty()) layout.name = baseName(path);
    return layout;
}
