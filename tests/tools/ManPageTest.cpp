// SPDX-License-Identifier: GPL-3.0-or-later
// The man page the build writes says what `ambidec --help` says: its text, read back from
// roff, is the help text word for word, and it is a man page (title, name, synopsis).
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace kiv::ambidec::testing;

namespace {

// The words of text, in order.
std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

TEST(AmbidecManPage, SaysWhatHelpSays) {
    std::ifstream in(AMBIDEC_MAN_PATH);
    ASSERT_TRUE(in) << AMBIDEC_MAN_PATH << " was not written by the build";
    std::string text, sections;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '.') {
            sections += line.substr(0, 3) + " ";
            continue; // a request: .TH, .SH, .nf, .PP
        }
        // Back from roff: \& guards, \- hyphens, \e backslashes.
        line = replaced(replaced(replaced(line, "\\&", ""), "\\-", "-"), "\\e", "\\");
        text += line + "\n";
    }
    EXPECT_EQ(sections.substr(0, 12), ".TH .SH .SH ") << sections;

    const ToolResult help = runAmbidec({"--help"});
    ASSERT_EQ(help.exitStatus, 0);
    // The man page's text: the NAME line, then the help text without its "usage:" heading.
    const std::vector<std::string> page = wordsOf(text);
    std::vector<std::string> expected = wordsOf(help.out);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(expected.front(), "usage:");
    expected.erase(expected.begin());
    const std::vector<std::string> name =
        wordsOf("ambidec - render, inspect and picture the Ambisonic decoder plug-ins");
    ASSERT_GE(page.size(), name.size());
    EXPECT_EQ(std::vector<std::string>(page.begin(), page.begin() + name.size()), name);
    EXPECT_EQ(std::vector<std::string>(page.begin() + name.size(), page.end()), expected);
}
