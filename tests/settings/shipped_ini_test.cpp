// The kxpwrvr.ini the players' zip ships: every key there, each shown at its
// default behind a ;, so that the file as shipped changes nothing and taking
// the ; away from any one line still changes nothing until the player edits
// its value.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "settings/settings.h"

namespace {

std::string shippedText() {
    std::ifstream in(KX_SHIPPED_INI, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void expectDefaults(const KxSettings& s, const std::string& what) {
    const KxSettings defaults;
    for (int k = 0; k < kSettingCount; ++k)
        EXPECT_EQ(settingValueText(s, SettingKey(k)), settingValueText(defaults, SettingKey(k)))
            << what << ": " << settingKeyName(SettingKey(k));
}

TEST(ShippedSettingsFile, AsShippedItChangesNothing) {
    const std::string text = shippedText();
    ASSERT_FALSE(text.empty()) << KX_SHIPPED_INI;
    KxSettings s;
    readSettingsText(s, text, "kxpwrvr.ini", "");
    EXPECT_TRUE(s.problems.empty()) << s.problems.front();
    for (int k = 0; k < kSettingCount; ++k)
        EXPECT_EQ(s.source[k], kFromDefault) << settingKeyName(SettingKey(k));
    expectDefaults(s, "as shipped");
}

TEST(ShippedSettingsFile, EveryKeyOnceAtItsDefaultWhenItsLineIsTakenUp) {
    const std::string text = shippedText();
    // The driver's keys; the recorder's README tells of its own.
    for (int k = 0; k < kDriverSettingCount; ++k) {
        const std::string key = settingKeyName(SettingKey(k));
        const std::string line = "\n;" + key + " = ";
        const size_t at = text.find(line);
        ASSERT_NE(at, std::string::npos) << "no line \";" << key << " = ...\"";
        EXPECT_EQ(text.find(line, at + 1), std::string::npos) << key << " twice";
        std::string taken = text;
        taken.erase(at + 1, 1); // the ;
        KxSettings s;
        readSettingsText(s, taken, "kxpwrvr.ini", "");
        EXPECT_TRUE(s.problems.empty()) << key << ": " << s.problems.front();
        EXPECT_EQ(s.source[k], kFromFile) << key;
        expectDefaults(s, key + " taken up");
    }
}

} // namespace
