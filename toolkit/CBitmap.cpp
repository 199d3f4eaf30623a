// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CBitmap.h"

#include "host/Bundle.h"
#include "resources/EmbeddedResource.h"
#include "toolkit/CDrawContext.h"

#include <cairo.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace VSTGUI {

namespace {

struct PngReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

cairo_status_t readPngBytes(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->size - reader->position < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

CBitmap::CBitmap(long resourceNumber) : resourceNumber(resourceNumber) {
    if (loadFromBundle())
        source = Source::kBundleFile;
    else if (loadEmbedded())
        source = Source::kEmbedded;
}

CBitmap::CBitmap(CCoord width, CCoord height) {
    if (width <= 0 || height <= 0) return;
    cairo_surface_t* blank = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (loadPng(blank)) source = Source::kBlank;
}

CBitmap::~CBitmap() {
    if (surface) cairo_surface_destroy(surface);
}

// Takes over candidate; keeps it when it holds a picture.
bool CBitmap::loadPng(cairo_surface_t* candidate) {
    if (cairo_surface_status(candidate) != CAIRO_STATUS_SUCCESS ||
        cairo_image_surface_get_width(candidate) <= 0 ||
        cairo_image_surface_get_height(candidate) <= 0) {
        cairo_surface_destroy(candidate);
        return false;
    }
    surface = candidate;
    width = cairo_image_surface_get_width(candidate);
    height = cairo_image_surface_get_height(candidate);
    return true;
}

bool CBitmap::loadFromBundle() {
    const std::string bundle = bundleDirectory(getBundleRef());
    if (bundle.empty() || resourceNumber < 0 || resourceNumber > 99999) return false;
    char name[32];
    std::snprintf(name, sizeof name, "bmp%05ld", resourceNumber);
    const std::string stem = bundle + "/Contents/Resources/" + name;
    for (const char* extension : {".png", ".bmp", ".jpg", ".pict"}) {
        const std::string path = stem + extension;
        if (!isRegularFile(path)) continue;
        // The first file that exists is the picture; only PNG is decoded.
        if (!loadPng(cairo_image_surface_create_from_png(path.c_str()))) return false;
        filePath = path;
        return true;
    }
    return false;
}

bool CBitmap::loadEmbedded() {
    for (const EmbeddedResource* entry = kEditorPictures; entry->number != 0; ++entry) {
        if (entry->number != resourceNumber) continue;
        PngReader reader{entry->data, entry->size, 0};
        return loadPng(cairo_image_surface_create_from_png_stream(readPngBytes, &reader));
    }
    return false;
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset) const {
    paint(context, rect, offset);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect,
                              const CPoint& offset) const {
    paint(context, rect, offset);
}

void CBitmap::paint(CDrawContext* context, const CRect& rect, const CPoint& offset) const {
    if (!surface || !context || rect.isEmpty()) return;
    cairo_t* cr = context->getCairo();
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
    cairo_clip(cr);
    // Only the picture's own pixels are touched: outside it the context keeps what it has.
    cairo_rectangle(cr, rect.left - offset.h, rect.top - offset.v, width, height);
    cairo_clip(cr);
    cairo_set_source_surface(cr, surface, rect.left - offset.h, rect.top - offset.v);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_paint(cr);
    cairo_restore(cr);
}

} // namespace VSTGUI
