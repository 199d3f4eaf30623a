// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/HostCalls.h"

VstIntPtr callHost(audioMasterCallback callback, AEffect* effect, const HostRequest& request,
                   const HostArgs& args) {
    if (!callback) return request.fallback;
    const VstIntPtr answer =
        callback(effect, request.opcode, args.index, args.value, args.ptr, args.opt);
    switch (request.answer) {
    case HostAnswer::Raw:
        return answer;
    case HostAnswer::NonZero:
        return answer != 0 ? 1 : 0;
    case HostAnswer::ExactlyOne:
        return answer == 1 ? 1 : 0;
    case HostAnswer::ZeroIsOne:
        return answer != 0 ? answer : 1;
    case HostAnswer::Disconnected:
        return answer != 0 ? 0 : 1;
    }
    return answer;
}
