// SPDX-License-Identifier: GPL-3.0-or-later
#include "product/HeadphoneView.h"

#include <cstring>

#include "hrtf/HrtfSet.h"
#include "product/HeadphoneMonitorProduct.h"
#include "product/LayoutView.h"

namespace {

std::string withoutSofa(const std::string& file) {
    const std::string extension = ".sofa";
    if (file.size() > extension.size() &&
        file.compare(file.size() - extension.size(), extension.size(), extension) == 0)
        return file.substr(0, file.size() - extension.size());
    return file;
}

} // namespace

HeadphoneView makeHeadphoneView(const MonitorLayout& layout, int layoutChoice,
                                const std::string& layoutFile, const HrtfSet* set, bool defaultSet,
                                double runningRateHz, const std::string& message) {
    HeadphoneView view; // every byte set: the record has no padding
    view.layoutChoice = layoutChoice;
    view.defaultSet = defaultSet ? 1 : 0;
    view.runningRateHz = static_cast<float>(runningRateHz);
    setViewText(view.layoutName, HeadphoneView::kNameBytes, layout.name);
    setViewText(view.layoutFile, HeadphoneView::kNameBytes, layoutFile);
    if (set) {
        view.setFileRateHz = static_cast<float>(set->fileSampleRate());
        setViewText(view.setName, HeadphoneView::kNameBytes,
                    defaultSet ? std::string("default") : withoutSofa(set->name()));
        if (!defaultSet) setViewText(view.setFile, HeadphoneView::kNameBytes, set->name());
    }
    setViewText(view.message, HeadphoneView::kMessageBytes, message);
    const int feeds = static_cast<int>(layout.feeds.size());
    view.count = feeds < HeadphoneView::kMaxFeeds ? feeds : HeadphoneView::kMaxFeeds;
    for (int k = 0; k < view.count; ++k) {
        const MonitorSpeaker& s = layout.feeds[k];
        if (!s.present) continue;
        HeadphoneView::Row& row = view.rows[k];
        row.input = k + 1;
        row.azimuthDegrees = static_cast<float>(s.azimuthDeg);
        row.elevationDegrees = static_cast<float>(s.elevationDeg);
        setViewText(row.name, HeadphoneView::kSpeakerNameBytes, s.name);
    }
    return view;
}

void sanitiseHeadphoneView(HeadphoneView& view) {
    for (char* field : {view.layoutName, view.layoutFile, view.setName, view.setFile})
        field[HeadphoneView::kNameBytes - 1] = '\0';
    view.message[HeadphoneView::kMessageBytes - 1] = '\0';
    for (HeadphoneView::Row& row : view.rows) {
        row.name[HeadphoneView::kSpeakerNameBytes - 1] = '\0';
        if (row.input < 0 || row.input > HeadphoneView::kMaxFeeds) row.input = 0;
    }
    if (view.count < 0 || view.count > HeadphoneView::kMaxFeeds) view.count = 0;
}
