#include <dorvo/objbase.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string textOf(REFGUID guid) {
    LPOLESTR text = nullptr;
    EXPECT_EQ(StringFromCLSID(guid, &text), S_OK);
    std::u16string result = text ? text : u"";
    CoTaskMemFree(text);
    return result;
}

TEST(GuidText, WritesUpperCaseBracedFormInTaskMemoryAndIntoABuffer) {
    constexpr GUID guid = {
        0x0123ABCD, 0x4E5F, 0x6A7B, {0x8C, 0x9D, 0xAE, 0xBF, 0xC0, 0xD1, 0xE2, 0xF3}};
    EXPECT_EQ(textOf(guid), u"{0123ABCD-4E5F-6A7B-8C9D-AEBFC0D1E2F3}");
    EXPECT_EQ(textOf(IID_IClassFactory), u"{00000001-0000-0000-C000-000000000046}");

    OLECHAR buffer[40];
    EXPECT_EQ(StringFromGUID2(guid, buffer, 40), 39);
    EXPECT_EQ(std::u16string(buffer), u"{0123ABCD-4E5F-6A7B-8C9D-AEBFC0D1E2F3}");

    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(StringFromGUID2(guid, buffer, 38), 0);
    EXPECT_EQ(buffer[0], u'#') << "a buffer that is too small is left alone";
    EXPECT_EQ(StringFromGUID2(guid, nullptr, 39), 0);
    EXPECT_EQ(StringFromCLSID(guid, nullptr), E_INVALIDARG);
}

TEST(GuidText, ParsesWhatItWritesAndAcceptsLowerCase) {
    for (int i = 0; i < 64; ++i) {
        GUID original;
        ASSERT_EQ(CoCreateGuid(&original), S_OK);
        CLSID parsed;
        ASSERT_EQ(CLSIDFromString(textOf(original).c_str(), &parsed), S_OK);
        EXPECT_TRUE(IsEqualGUID(parsed, original)) << i;
    }
    CLSID parsed;
    ASSERT_EQ(CLSIDFromString(u"{b196b28d-bab4-101a-b69c-00aa00341d07}", &parsed), S_OK);
    EXPECT_TRUE(IsEqualGUID(parsed, IID_IPropertyPage));
}

TEST(GuidText, RefusesMalformedText) {
    const char16_t* malformed[] = {
        u"",
        u"{}",
        u"{B196B28D-BAB4-101A-B69C-00AA00341D0}",   // one digit short
        u"{B196B28D-BAB4-101A-B69C-00AA00341D077}", // one digit too many
        u"B196B28D-BAB4-101A-B69C-00AA00341D07",    // no braces
        u"(B196B28D-BAB4-101A-B69C-00AA00341D07)",  // other brackets
        u"{B196B28D-BAB4-101A-B69C-00AA00341D07",   // no closing brace
        u"{B196B28D-BAB4-101A-B69C-00AA00341DG7}",  // not a hexadecimal digit
        u"{B196B28D-BAB4-101A-B69C-00AA00341D 7}",
        u"{B196B28DBAB4-101A-B69C-00AA00341D07-}",  // dash out of place
        u"{B196B28D-BAB4-101A-B69C-00AA00341D07} ", // trailing characters
        u"{B196B28D-BAB4-101A-B69C-00AA00341D07}}",
        u"{+196B28D-BAB4-101A-B69C-00AA00341D07}",
    };
    for (const char16_t* text : malformed) {
        CLSID parsed = IID_IUnknown;
        EXPECT_EQ(CLSIDFromString(text, &parsed), CO_E_CLASSSTRING)
            << std::string(text, text + std::char_traits<char16_t>::length(text));
        EXPECT_TRUE(IsEqualGUID(parsed, GUID_NULL));
    }
    CLSID parsed;
    EXPECT_EQ(CLSIDFromString(nullptr, &parsed), E_INVALIDARG);
    EXPECT_EQ(CLSIDFromString(u"{B196B28D-BAB4-101A-B69C-00AA00341D07}", nullptr), E_INVALIDARG);
}

TEST(GuidText, CreatesDistinctRandomVersion4Identifiers) {
    GUID a, b;
    ASSERT_EQ(CoCreateGuid(&a), S_OK);
    ASSERT_EQ(CoCreateGuid(&b), S_OK);
    EXPECT_FALSE(IsEqualGUID(a, b));
    for (const GUID& g : {a, b}) {
        EXPECT_EQ(g.Data3 >> 12, 4);
        EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
    }
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

} // namespace
