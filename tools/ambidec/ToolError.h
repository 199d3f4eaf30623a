// SPDX-License-Identifier: GPL-3.0-or-later
// The one kind of failure ambidec reports: a single line for standard error and the exit
// status that goes with it (2 for a command line that cannot be understood, 1 otherwise).
#pragma once

#include <stdexcept>
#include <string>

namespace kiv::ambidec {

class ToolError : public std::runtime_error {
public:
    static constexpr int kFailure = 1;
    static constexpr int kUsage = 2;

    explicit ToolError(const std::string& message, int status = kFailure)
        : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

} // namespace kiv::ambidec
