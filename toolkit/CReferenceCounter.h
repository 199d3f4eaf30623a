// SPDX-License-Identifier: GPL-3.0-or-later
// Base of the toolkit's shared objects (views, bitmaps, fonts, drawing contexts).
// An object starts with one reference, held by whoever created it; remember() adds one,
// forget() gives one back and deletes the object with the last. User-interface thread only.
#pragma once

namespace VSTGUI {

class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;
    virtual ~CReferenceCounter() = default;

    void remember() { ++references; }
    void forget() {
        if (--references == 0) delete this;
    }
    int getNbReference() const { return references; }

private:
    int references = 1;
};

} // namespace VSTGUI
