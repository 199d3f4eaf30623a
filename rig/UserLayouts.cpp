// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/UserLayouts.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "rig/FactoryLayouts.h"
#include "rig/LayoutFile.h"
#include "rig/RigError.h"

std::string userLayoutDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/kivtone/layouts";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/kivtone/layouts";
    return "";
}

std::vector<UserLayoutFile> listUserLayouts() {
    std::vector<UserLayoutFile> files;
    const std::string dir = userLayoutDirectory();
    if (dir.empty()) return files;
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return files;
    while (const dirent* e = ::readdir(d)) {
        const std::string file = e->d_name;
        if (file.empty() || file[0] == '.' || file.back() == '~') continue;
        const std::string path = dir + "/" + file;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const size_t dot = file.find_last_of('.');
        files.push_back({dot == std::string::npos || dot == 0 ? file : file.substr(0, dot), path});
    }
    ::closedir(d);
    std::sort(files.begin(), files.end(), [](const UserLayoutFile& a, const UserLayoutFile& b) {
        return a.name != b.name ? a.name < b.name : a.path < b.path;
    });
    files.erase(std::unique(files.begin(), files.end(),
                            [](const UserLayoutFile& a, const UserLayoutFile& b) {
                                return a.name == b.name;
                            }),
                files.end());
    return files;
}

Layout findLayout(const std::string& nameOrPath) {
    struct stat st {};
    if (nameOrPath.find('/') != std::string::npos || ::stat(nameOrPath.c_str(), &st) == 0)
        return readLayoutFile(nameOrPath);
    if (const Layout* factory = factoryLayout(nameOrPath)) return *factory;
    for (const UserLayoutFile& f : listUserLayouts())
        if (f.name == nameOrPath) return readLayoutFile(f.path);
    const std::string dir = userLayoutDirectory();
    throw RigError(nameOrPath + ": no such file, factory layout or layout in " +
                   (dir.empty() ? std::string("the user's layouts (no HOME)") : dir));
}
