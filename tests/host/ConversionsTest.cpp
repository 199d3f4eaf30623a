// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "host/Conversions.h"

namespace {

std::string convert(void (*f)(float, char*, VstInt32), float value, VstInt32 maxLen) {
    char text[32];
    std::memset(text, 'x', sizeof text);
    f(value, text, maxLen);
    EXPECT_LE(strnlen(text, sizeof text), static_cast<std::size_t>(maxLen))
        << "terminated within maxLen + 1 bytes";
    return text;
}

struct Float2StringCase {
    float value;
    VstInt32 maxLen;
    const char* text;
};

TEST(Float2String, EightCharactersTruncatedToMaxLen) {
    const Float2StringCase cases[] = {
        {1.5f, 8, "1.500000"},       {1.5f, 3, "1.5"},          {12.25f, 8, "12.25000"},
        {12.25f, 3, "12."},          {-3.5f, 8, "-3.50000"},    {-3.5f, 3, "-3."},
        {-12.5f, 3, "-12"},          {0.0f, 8, "0.000000"},     {0.0f, 3, "0.0"},
        {1.33f, 3, "1.3"},           {380.0f, 3, "380"},        {50.0f, 3, "50."},
        {1200.0f, 3, "120"},         {2.375f, 3, "2.3"},        {1234567.0f, 8, "1234567."},
        {-123456.0f, 8, "-123456."}, {0.25f, 8, "0.250000"},    {1.5f, 0, ""},
        {99999999.0f, 8, "Huge!"},   {-9999999.5f, 8, "Huge!"}, {1e9f, 3, "Hug"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(convert(&conversions::float2string, c.value, c.maxLen), c.text)
            << c.value << " with maxLen " << c.maxLen;
}

TEST(Float2String, FractionIsTruncatedNotRounded) {
    // 0.9999999 as a float is 0.99999988...: six fraction digits, all nines, no carry.
    EXPECT_EQ(convert(&conversions::float2string, 0.9999999f, 8), "0.999999");
    EXPECT_EQ(convert(&conversions::float2string, 1.99999f, 3), "1.9");
}

TEST(Float2String, NullTextAndNaNAreHarmless) {
    conversions::float2string(1.0f, nullptr, 8);
    EXPECT_EQ(convert(&conversions::float2string, std::numeric_limits<float>::quiet_NaN(), 8),
              "Huge!");
}

TEST(OtherConversions, DecibelsHertzMillisecondsIntegers) {
    EXPECT_EQ(convert(&conversions::dB2string, 0.0f, 8), "-oo");
    EXPECT_EQ(convert(&conversions::dB2string, -1.0f, 2), "-o");
    EXPECT_EQ(convert(&conversions::dB2string, 10.0f, 8), "20.00000");
    char text[16];
    conversions::Hz2string(48000.0f, 480.0f, text, 8);
    EXPECT_STREQ(text, "100.0000");
    conversions::Hz2string(48000.0f, 0.0f, text, 8);
    EXPECT_STREQ(text, "0.000000");
    conversions::ms2string(48000.0f, 24.0f, text, 8);
    EXPECT_STREQ(text, "0.500000");
    conversions::int2string(-42, text, 8);
    EXPECT_STREQ(text, "-42");
    conversions::int2string(99999999, text, 8);
    EXPECT_STREQ(text, "99999999");
    conversions::int2string(100000000, text, 8);
    EXPECT_STREQ(text, "Huge!");
    conversions::int2string(123456, text, 3);
    EXPECT_STREQ(text, "123");
}

} // namespace
