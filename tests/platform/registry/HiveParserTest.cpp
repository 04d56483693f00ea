// The hive text reader and writer on their own.
#include "HiveParser.h"
#include "HiveWriter.h"

#include <gtest/gtest.h>

using namespace dorvo::registry;

namespace {

struct BadText {
    const char* text;
    int line;
    const char* reason;
};

TEST(HiveParserTest, ErrorsNameTheirLineAndReason) {
    const BadText cases[] = {
        {"\"a\"=\"b\"\n", 1, "value before the first [key path]"},
        {"[A]\n\n\"a\"=\"unterminated\n", 3, "unterminated string"},
        {"[A]\r\n\"a\"=\"b\" trailing\r\n", 2, "unexpected text after the closing quote"},
        {"[A]\n\"a\"=\"\\q\"\n", 2, "unknown escape sequence in a string"},
        {"[A]\n\"a\"=\"\\u12\"\n", 2, "\\u needs four hexadecimal digits"},
        {"[A]\n\"a\"=\"bell\x07\"\n", 2, "control character in a string; write it as \\u00XX"},
        {"[A]\n\"a\"\"b\"\n", 2, "expected = after the value name"},
        {"[A]\n@=text\n", 2, "expected \"text\", dword:, hex: or hex(type): after ="},
        {"[A]\n@=dword:123456789\n", 2, "dword: needs 1 to 8 hexadecimal digits"},
        {"[A]\n@=hex:1,2\n", 2,
         "expected bytes as two hexadecimal digits each, separated by commas"},
        {"[A]\n@=hex:01 02\n", 2, "expected a comma between bytes"},
        {"[A]\n@=hex:01,\n", 2, "a comma must be followed by a byte"},
        {"[A]\n@=hex(x):01\n", 2, "hex(type): needs a type of 1 to 8 hexadecimal digits"},
        {"[A\\\\B]\n", 1, "empty key name in a section header"},
        {"[]\n", 1, "empty key name in a section header"},
        {"[A\x01]\n", 1, "control character in a key name"},
        {"[A\n", 1, "a section header must end with ]"},
        {"[A]\nA=1\n", 2, "unexpected text; expected a [key path], a value or a comment"},
        {"[A]\n\"\xC3\"=\"b\"\n", 2, "not valid UTF-8"},
        {"[A]\n\"\xED\xA0\x80\"=\"b\"\n", 2, "not valid UTF-8"},
        {"[A]\n\xEF\xBB\xBF[B]\n", 2,
         "unexpected text; expected a [key path], a value or a comment"},
    };
    for (const BadText& bad : cases) {
        const HiveParseResult result = parseHive(QByteArrayView(bad.text));
        EXPECT_EQ(result.root, nullptr) << bad.text;
        EXPECT_EQ(result.errorLine, bad.line) << bad.text;
        EXPECT_EQ(result.errorReason.toStdString(), bad.reason) << bad.text;
    }
    std::string deep = "[";
    for (int i = 0; i < 513; ++i)
        deep += i ? "\\k" : "k";
    deep += "]\n";
    EXPECT_EQ(parseHive(QByteArrayView(deep)).errorReason.toStdString(),
              "key path deeper than 512 levels");
}

QByteArray units(std::u16string_view text) {
    return QByteArray(reinterpret_cast<const char*>(text.data()), qsizetype(text.size() * 2));
}

std::unique_ptr<RegistryKey> awkwardTree() {
    auto root = std::make_unique<RegistryKey>();
    RegistryKey& key = root->addSubkey(QStringLiteral(" [spaced] ;#@\"=√🎹"));
    key.setValue(QString(), REG_SZ, units(std::u16string_view(u"\0", 1)));
    key.setValue(QString::fromUtf16(u"\"\\\n\r\t\x7f\xD800\xDC00"), REG_SZ,
                 units(std::u16string_view(u"a\0b\xDFFF\xD83C\xDFB9\x01\0", 8)));
    key.setValue(QStringLiteral("empty text"), REG_SZ, QByteArray());
    key.setValue(QStringLiteral("odd text"), REG_SZ, QByteArray("abc", 3));
    key.setValue(QStringLiteral("no terminator"), REG_SZ, units(u"ab"));
    key.setValue(QStringLiteral("short dword"), REG_DWORD, QByteArray("\1\2\3", 3));
    key.setValue(QStringLiteral("dword"), REG_DWORD, QByteArray("\xff\0\0\x80", 4));
    key.setValue(QStringLiteral("unknown type"), 0xFFFFFFFF, QByteArray("\0", 1));
    key.setValue(QStringLiteral("none"), REG_NONE, QByteArray());
    key.addSubkey(QStringLiteral("Twin"));
    key.addSubkey(QStringLiteral("TWIN")).addSubkey(QStringLiteral("leaf"));
    root->addSubkey(QStringLiteral("Empty"));
    return root;
}

TEST(HiveParserTest, WrittenTextReadsBackAsTheSameTree) {
    const std::unique_ptr<RegistryKey> tree = awkwardTree();
    const QByteArray text = formatHive(*tree, u"machine");
    const HiveParseResult parsed = parseHive(text);
    ASSERT_NE(parsed.root, nullptr)
        << parsed.errorLine << ": " << parsed.errorReason.toStdString() << "\n"
        << text.toStdString();
    EXPECT_TRUE(*parsed.root == *tree) << text.toStdString();
    EXPECT_EQ(formatHive(*parsed.root, u"machine"), text);
}

} // namespace
