// SPDX-License-Identifier: GPL-3.0-or-later
// A control drawn from a strip of pictures of equal height, one above the other: the
// height of one picture in pixels and the number of pictures.
#pragma once

#include "toolkit/CPoint.h"

namespace VSTGUI {

class IMultiBitmapControl {
public:
    virtual ~IMultiBitmapControl() = default;

    virtual void setHeightOfOneImage(const CCoord& height) { heightOfOneImage = height; }
    virtual CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    virtual void setNumSubPixmaps(long count) { subPixmaps = count; }
    virtual long getNumSubPixmaps() const { return subPixmaps; }
    // Sets the height of one picture from the strip's height and the number of pictures.
    virtual void autoComputeHeightOfOneImage() = 0;

protected:
    CCoord heightOfOneImage = 0;
    long subPixmaps = 0;
};

} // namespace VSTGUI
