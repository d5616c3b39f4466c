// The registry file: every value must come back byte for byte, and a damaged line must not cost
// the rest of the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/registry/reg_file.h"

namespace host::registry {
namespace {

const char* const kKey = "\\Registry\\Machine\\SOFTWARE\\Korvald";

std::vector<uint8_t> Utf16z(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

struct RoundTripCase {
    const char* Why;
    std::string Name;
    uint32_t Type;
    std::vector<uint8_t> Data;
    const char* Line;  // how it must appear in the file
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, ValueReadsBackExactlyAsSet) {
    const RoundTripCase& c = GetParam();
    Hive hive;
    SetValue(*hive.AddKey(kKey), c.Name, c.Type, c.Data);
    const std::string text = FormatRegText(hive);
    EXPECT_NE(text.find(c.Line), std::string::npos) << c.Why << "\n" << text;

    const ParsedRegFile parsed = ParseRegText(text);
    EXPECT_TRUE(parsed.Warnings.empty()) << c.Why;
    const HiveKey* key = parsed.Keys.FindKey(kKey);
    ASSERT_NE(key, nullptr) << c.Why;
    const HiveValue* value = FindValue(*key, c.Name);
    ASSERT_NE(value, nullptr) << c.Why;
    EXPECT_EQ(value->Type, c.Type) << c.Why;
    EXPECT_EQ(value->Data, c.Data) << c.Why;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RoundTrip,
    ::testing::Values(
        RoundTripCase{"dword in its readable form", "Exposal", 4, {0x64, 0, 0, 0},
                      "\"Exposal\"=dword:00000064"},
        RoundTripCase{"dword of all ones", "H_Off", 4, {0xFF, 0xFF, 0xFF, 0xFF},
                      "\"H_Off\"=dword:ffffffff"},
        RoundTripCase{"a REG_DWORD of the wrong length cannot use dword:", "Short", 4, {1, 2},
                      "\"Short\"=hex(4):01,02"},
        RoundTripCase{"terminated string in quotes", "Name", 1, Utf16z(u"Cam \"A\" \\ ok"),
                      "\"Name\"=\"Cam \\\"A\\\" \\\\ ok\""},
        RoundTripCase{"non-ASCII string in quotes", "Ort", 1, Utf16z(u"K\u00f6ln \u6771"),
                      "\"Ort\"=\"K\xC3\xB6ln \xE6\x9D\xB1\""},
        RoundTripCase{"string without terminator keeps its exact bytes", "Raw", 1, {'a', 0, 'b', 0},
                      "\"Raw\"=hex(1):61,00,62,00"},
        RoundTripCase{"string of odd length", "Odd", 1, {'a', 0, 0}, "\"Odd\"=hex(1):61,00,00"},
        RoundTripCase{"empty binary", "Empty", 3, {}, "\"Empty\"=hex:"},
        RoundTripCase{"binary", "Blob", 3, {0, 0x7F, 0xFF}, "\"Blob\"=hex:00,7f,ff"},
        RoundTripCase{"multi-string keeps its type", "Multi", 7, {'a', 0, 0, 0, 0, 0},
                      "\"Multi\"=hex(7):61,00,00,00,00,00"},
        RoundTripCase{"qword type in hex digits", "Q", 11, {1, 2, 3, 4, 5, 6, 7, 8},
                      "\"Q\"=hex(b):01,02"},
        RoundTripCase{"default value", "", 4, {1, 0, 0, 0}, "@=dword:00000001"},
        RoundTripCase{"quotes and backslashes in the value name", "a\"b\\c", 4, {0, 0, 0, 0},
                      "\"a\\\"b\\\\c\"=dword:00000000"}));

TEST(RegFile, LongBinaryWrapsAndReadsBack) {
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    Hive hive;
    SetValue(*hive.AddKey(kKey), "Long", 3, data);
    const std::string text = FormatRegText(hive);
    size_t longest = 0, start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    EXPECT_LE(longest, 80u);
    const ParsedRegFile parsed = ParseRegText(text);
    EXPECT_EQ(FindValue(*parsed.Keys.FindKey(kKey), "Long")->Data, data);
}

TEST(RegFile, FileStartsWithTheEditorHeaderAndNamesTheMachineRoot) {
    Hive hive;
    SetValue(*hive.AddKey(kKey), "Exposal", 4, {0x64, 0, 0, 0});
    EXPECT_EQ(FormatRegText(hive),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvald]\n"
              "\"Exposal\"=dword:00000064\n");
}

TEST(RegFile, BadLinesAreSkippedAndReported) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvald]\r\n"
        "\"Exposal\"=dword:00000064\r\n"
        "\"Broken\"=dword:xyz\r\n"
        "; a comment\r\n"
        "\"NoEquals\" dword:1\r\n"
        "\"Gamma\"=dword:00000010\r\n"
        "[HKEY_CURRENT_CONFIG\\Elsewhere]\r\n"
        "\"Lost\"=dword:00000001\r\n";
    const ParsedRegFile parsed = ParseRegText(text);
    EXPECT_EQ(parsed.Warnings.size(), 4u);
    const HiveKey* key = parsed.Keys.FindKey("\\REGISTRY\\MACHINE\\software\\korvald");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->Values.size(), 2u);
    EXPECT_EQ(key->Values[0].Name, "Exposal");
    EXPECT_EQ(key->Values[1].Name, "Gamma");
}

TEST(RegFile, RemovalLinesDeleteKeysAndValues) {
    const std::string text =
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"x\"=dword:1\n\"y\"=dword:2\n\"x\"=-\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\B\\C]\n\"z\"=dword:3\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\B]\n";
    const ParsedRegFile parsed = ParseRegText(text);
    const HiveKey* a = parsed.Keys.FindKey("\\Registry\\Machine\\SOFTWARE\\A");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->Values.size(), 1u);
    EXPECT_EQ(a->Values[0].Name, "y");
    EXPECT_EQ(parsed.Keys.FindKey("\\Registry\\Machine\\SOFTWARE\\B\\C"), nullptr);
}

TEST(RegFile, ReadsTheUtf16FilesTheEditorExports) {
    const std::string ascii =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvald]\r\n"
        "\"Exposal\"=dword:000000c8\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : ascii) {
        utf16 += c;
        utf16 += '\0';
    }
    const ParsedRegFile parsed = ParseRegText(utf16);
    EXPECT_TRUE(parsed.Warnings.empty());
    const HiveValue* value = FindValue(*parsed.Keys.FindKey(kKey), "exposal");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->Data, (std::vector<uint8_t>{0xC8, 0, 0, 0}));
}

TEST(RegFile, ParentsAreListedBeforeTheirChildren) {
    Hive hive;
    hive.AddKey("\\Registry\\Machine\\SOFTWARE\\A B");
    hive.AddKey("\\Registry\\Machine\\SOFTWARE\\A\\B");
    hive.AddKey("\\Registry\\Machine\\SOFTWARE\\A");
    const auto keys = hive.Keys();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0]->Path, "\\Registry\\Machine\\SOFTWARE\\A");
    EXPECT_EQ(keys[1]->Path, "\\Registry\\Machine\\SOFTWARE\\A\\B");
}

}  // namespace
}  // namespace host::registry
