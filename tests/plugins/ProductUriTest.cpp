// SPDX-License-Identifier: GPL-3.0-or-later
// The product URIs: made from each product's name, the same for every face, and refused when
// they would not fit.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "product/ConverterProduct.h"
#include "product/ProductDescription.h"
#include "product/ProductUri.h"

namespace {

TEST(ProductUri, EveryProductsUrisComeFromItsName) {
    for (const ProductDescription* product : {&kRegularDecoderProduct, &kIrregularDecoderProduct}) {
        const std::string uri = std::string(kProductUriPrefix) + product->name;
        EXPECT_EQ(product->uri, uri);
        EXPECT_EQ(product->uiUri, uri + ":ui");
        EXPECT_EQ(presetUri(product->uri, 0), uri + ":preset:0");
    }
    EXPECT_EQ(kBFormatConverterProduct.uri,
              std::string(kProductUriPrefix) + kBFormatConverterProduct.name);
}

TEST(ProductUri, FillsItsCapacityAndRefusesOneCharacterMore) {
    // The prefix, the name and the suffix, and the terminator.
    const std::size_t room = ProductUri::kCapacity - 1 - std::string(kProductUriPrefix).size();
    const std::string fits(room - 3, 'n');
    EXPECT_EQ(std::string(makeProductUri(fits.c_str(), ":ui").text),
              kProductUriPrefix + fits + ":ui");
    const std::string tooLong(room - 2, 'n');
    EXPECT_THROW(makeProductUri(tooLong.c_str(), ":ui"), std::length_error);
}

} // namespace
