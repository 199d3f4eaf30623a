// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivSpeakerTable.h"

#include "toolkit/CDrawContext.h"
#include "toolkit/CFontDesc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace VSTGUI {

namespace {

CFontDesc rowFont("Helvetica", 10);
CFontDesc headFont("Helvetica", 10, kBoldFace);
constexpr CColor kRowText = {220, 226, 236, 255};
constexpr CColor kHeadText = {250, 168, 56, 255};
constexpr CCoord kLineHeight = 16;
constexpr int kLinesPerColumn = 16;

} // namespace

KivSpeakerTable::KivSpeakerTable(const CRect& size) : CView(size) {
    setMouseEnabled(false);
    setTransparency(true);
}

void KivSpeakerTable::setView(const LayoutView& next) {
    if (shown && next.generation == view.generation) return;
    shown = true;
    view = next;
    setDirty();
}

std::string KivSpeakerTable::delayText(const LayoutView::Row& row) {
    if (row.output == 0) return {};
    char text[24];
    std::snprintf(text, sizeof text, "%.2f ms", double(row.delayMs));
    return text;
}

std::string KivSpeakerTable::levelText(const LayoutView::Row& row) {
    if (row.output == 0) return {};
    char text[24];
    // No "-0.0": a level that rounds to nothing is shown as 0.
    const double db = std::fabs(row.levelDb) < 0.05f ? 0.0 : double(row.levelDb);
    std::snprintf(text, sizeof text, "%.1f dB", db);
    return text;
}

void KivSpeakerTable::draw(CDrawContext* context) {
    setDirty(false);
    const int lines =
        std::min(view.count, int(DecoderPlan::kMaxSpeakers)) + (view.subwooferOutput > 0 ? 1 : 0);
    const int columns = lines > kLinesPerColumn ? 2 : 1;
    const CCoord width = size.width() / 2;
    auto cell = [&](int column, int line, CCoord from, CCoord to) {
        const CCoord left = size.left + column * width, top = size.top + line * kLineHeight;
        return CRect(left + from, top, left + to, top + kLineHeight);
    };
    for (int c = 0; c < columns; ++c) {
        context->setFont(&headFont);
        context->setFontColor(kHeadText);
        context->drawString("Out", cell(c, 0, 0, 22), false, kRightText);
        context->drawString("Speaker", cell(c, 0, 28, 72), false, kLeftText);
        context->drawString("Delay", cell(c, 0, 72, 118), false, kRightText);
        context->drawString("Level", cell(c, 0, 118, 162), false, kRightText);
    }
    context->setFont(&rowFont);
    context->setFontColor(kRowText);
    char number[16];
    for (int k = 0; k < lines; ++k) {
        const int column = k / kLinesPerColumn, line = 1 + k % kLinesPerColumn;
        if (k < view.count) {
            const LayoutView::Row& row = view.rows[k];
            std::snprintf(number, sizeof number, "%d", k + 1);
            context->drawString(number, cell(column, line, 0, 22), false, kRightText);
            if (row.output == 0) continue;
            context->drawString(row.name, cell(column, line, 28, 72), false, kLeftText);
            context->drawString(delayText(row).c_str(), cell(column, line, 72, 118), false,
                                kRightText);
            context->drawString(levelText(row).c_str(), cell(column, line, 118, 162), false,
                                kRightText);
        } else {
            std::snprintf(number, sizeof number, "%d", view.subwooferOutput);
            context->drawString(number, cell(column, line, 0, 22), false, kRightText);
            context->drawString("Sub", cell(column, line, 28, 72), false, kLeftText);
        }
    }
}

} // namespace VSTGUI
