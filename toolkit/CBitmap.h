// SPDX-License-Identifier: GPL-3.0-or-later
// A picture held in memory (32-bit ARGB, premultiplied), reference-counted.
//
// A bitmap made from a resource number N is looked up in this order:
//   1. <bundle>/Contents/Resources/bmpNNNNN with the first of .png .bmp .jpg .pict that
//      exists, read as PNG;
//   2. the PNG numbered N in kEditorPictures, the table compiled into the plug-in;
//   3. nothing: the bitmap is empty (width and height 0) and draws nothing.
// A file that exists but cannot be read as PNG counts as missing.
// User-interface thread only.
#pragma once

#include "toolkit/CPoint.h"
#include "toolkit/CRect.h"
#include "toolkit/CReferenceCounter.h"

#include <string>

struct _cairo_surface;

namespace VSTGUI {

class CDrawContext;

class CBitmap : public CReferenceCounter {
public:
    // Where a bitmap's pixels came from.
    enum class Source { kNone, kBundleFile, kEmbedded, kBlank };

    explicit CBitmap(long resourceNumber);
    // A blank bitmap of the given size, fully transparent, for drawing into.
    CBitmap(CCoord width, CCoord height);
    ~CBitmap() override;

    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }
    bool isLoaded() const { return surface != nullptr; }
    long getResourceID() const { return resourceNumber; }
    Source getSource() const { return source; }
    // The file a bundle picture was read from; empty otherwise.
    const std::string& getFilePath() const { return filePath; }

    // Draws the part of the picture that starts at offset (picture pixels) into rect.
    // Both composite the picture over what the context already holds, with the picture's
    // own alpha: its transparent pixels (a knob's corners) show what lies below.
    void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint()) const;
    void drawTransparent(CDrawContext* context, const CRect& rect,
                         const CPoint& offset = CPoint()) const;

    // The pixels, for a drawing context that paints into the bitmap.
    _cairo_surface* getSurface() const { return surface; }

private:
    void paint(CDrawContext* context, const CRect& rect, const CPoint& offset) const;
    bool loadPng(_cairo_surface* candidate);
    bool loadFromBundle();
    bool loadEmbedded();

    long resourceNumber = 0;
    Source source = Source::kNone;
    std::string filePath;
    _cairo_surface* surface = nullptr;
    CCoord width = 0;
    CCoord height = 0;
};

} // namespace VSTGUI
