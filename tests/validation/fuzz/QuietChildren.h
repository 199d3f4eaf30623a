// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor reads a SOFA set in a child process first, where libmysofa may crash on a
// damaged file without harm: the child is there to crash. In a fuzz target the child inherits
// libFuzzer's crash handlers, which would save the input as a finding from inside the child,
// and AddressSanitizer's reports, which start the symbolizer (a second or more) for an
// error that is libmysofa's to make there. So a forked child gets the default handlers back,
// and an error the sanitizer sees in it ends it at once with SIGABRT: a crashed child, which
// the plug-in reports as a damaged set.
#pragma once

// Call once, from LLVMFuzzerInitialize.
void quietCheckingChildren();
