// SPDX-License-Identifier: GPL-3.0-or-later
// Turns picture files into a C++ source with one byte array each and a table of
// (resource number, bytes, size), so that a plug-in copied without its bundle
// still has its pictures.
// usage: kiv_embed OUTPUT.cpp TABLE_NAME NUMBER=FILE...
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kiv_embed OUTPUT.cpp TABLE_NAME NUMBER=FILE...\n");
        return 2;
    }
    const std::string out = argv[1], table = argv[2];
    std::string code = "// Generated at build time from the editor pictures.\n"
                       "#include \"resources/EmbeddedResource.h\"\n\nnamespace {\n";
    std::vector<std::string> rows;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto eq = arg.find('=');
        if (eq == std::string::npos) {
            std::fprintf(stderr, "kiv_embed: expected NUMBER=FILE, got %s\n", arg.c_str());
            return 2;
        }
        const std::string number = arg.substr(0, eq), file = arg.substr(eq + 1);
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "kiv_embed: cannot read %s\n", file.c_str());
            return 1;
        }
        const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
        code += "const unsigned char bmp" + number + "[] = {";
        for (size_t k = 0; k < bytes.size(); ++k) {
            if (k % 20 == 0) code += "\n   ";
            code += " " + std::to_string(bytes[k]) + ",";
        }
        code += "\n};\n";
        rows.push_back("    {" + number + ", bmp" + number + ", sizeof bmp" + number + "},\n");
    }
    code += "} // namespace\n\nconst EmbeddedResource " + table + "[] = {\n";
    for (const std::string& r : rows) code += r;
    code += "    {0, nullptr, 0},\n};\n";

    const std::string temp = out + ".tmp";
    {
        std::ofstream o(temp, std::ios::binary);
        o << code;
        if (!o) {
            std::fprintf(stderr, "kiv_embed: cannot write %s\n", out.c_str());
            std::remove(temp.c_str());
            return 1;
        }
    }
    if (std::rename(temp.c_str(), out.c_str()) != 0) {
        std::fprintf(stderr, "kiv_embed: cannot write %s\n", out.c_str());
        std::remove(temp.c_str());
        return 1;
    }
    return 0;
}
