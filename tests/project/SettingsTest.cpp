#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "project/actions/ProjectState.h"
#include "project/actions/StartUp.h"
#include "project/settings/Settings.h"
#include "project/settings/TextIds.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

const fs::path kShippedData = fs::path(ORVANE_TEST_DATA) / ".." / ".." / "data";

// A store with one key under ORVANE\Language holding the given value lines.
SettingsStore Store(const std::string& values) {
  return SettingsStore::Parse(
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\\\KALDERO\\ORVANE\\Language]\n" +
      values);
}

// The error number ReadSetting raised, and its description.
std::pair<uint32_t, std::string> ErrorOf(const SettingsStore& store, std::string_view app,
                                         std::string_view section, std::string_view key) {
  try {
    ReadSetting(store, app, section, key, "default");
  } catch (const SettingsError& e) {
    return {e.Number(), e.what()};
  }
  return {0, ""};
}

TEST(SettingsTest, EmptyNamesRaiseInOrderBeforeTheStoreIsOpened) {
  const SettingsStore broken = SettingsStore::Parse("not a settings file");
  using E = std::pair<uint32_t, std::string>;
  EXPECT_EQ(ErrorOf(broken, "  ", "", ""), E(0x800403E8, "AppName may not be empty"));
  EXPECT_EQ(ErrorOf(broken, "ORVANE", " ", ""), E(0x800403E8, "Section may not be empty"));
  EXPECT_EQ(ErrorOf(broken, "ORVANE", "Language", "   "), E(0x800403E8, "Key may not be empty"));
  EXPECT_EQ(ErrorOf(broken, "ORVANE", "Language", "Current"),
            E(0x800407D0 + 13, "Could not open registry section"));
}

TEST(SettingsTest, NonStringValuesRaiseTheirTypeNumber) {
  const SettingsStore store = Store(
      "\"Dword\"=dword:0000001f\n\"Binary\"=hex:01,02\n\"Expand\"=hex(2):61,00\n"
      "\"None\"=hex(0):\n\"Multi\"=hex(7):61,00,\\\n  00\n");
  using E = std::pair<uint32_t, std::string>;
  const std::string text = "Registry data not a string";
  EXPECT_EQ(ErrorOf(store, "ORVANE", "Language", "Dword"), E(0x800407D4, text));
  EXPECT_EQ(ErrorOf(store, "ORVANE", "Language", "Binary"), E(0x800407D3, text));
  EXPECT_EQ(ErrorOf(store, "ORVANE", "Language", "Expand"), E(0x800407D2, text));
  EXPECT_EQ(ErrorOf(store, "ORVANE", "Language", "None"), E(0x800407D0, text));
  EXPECT_EQ(ErrorOf(store, "ORVANE", "Language", "Multi"), E(0x800407D7, text));
}

TEST(SettingsTest, StringSizesAndEscapes) {
  const SettingsStore store = Store(
      "\"SizeZero\"=hex(1):\n\"Quoted\"=\"\"\n\"WithZero\"=hex(1):61,62,63,64,00\n"
      "\"NoZero\"=hex(1):61,62\n\"Escapes\"=\"a \\\"b\\\" C:\\\\x\"\n\"Accents\"=\"Número\"\n");
  auto read = [&](std::string_view key) {
    return ReadSetting(store, "ORVANE", "Language", key, "default");
  };
  EXPECT_EQ(read("SizeZero"), "");  // not the default
  EXPECT_EQ(read("Quoted"), "");
  EXPECT_EQ(read("WithZero"), "abcd");  // size 5 gives the four letters
  EXPECT_EQ(read("NoZero"), "ab");
  EXPECT_EQ(read("Escapes"), "a \"b\" C:\\x");
  EXPECT_EQ(read("Accents"), "Número");
  EXPECT_EQ(read("escapes"), read("Escapes"));  // names ignore ASCII case
}

TEST(SettingsTest, MissingKeysAndValuesGiveTheDefault) {
  const SettingsStore store = Store("\"Current\"=\"es\"\n");
  EXPECT_EQ(ReadSetting(store, "ORVANE", "Language", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ReadSetting(store, "ORVANE", "Other", "Current", "dflt"), "dflt");
  EXPECT_EQ(ReadSetting(SettingsStore(), "ORVANE", "Language", "Current", "dflt"), "dflt");
  EXPECT_EQ(ReadSetting(SettingsStore::Load("/nonexistent/settings.reg"), "ORVANE", "Language",
                        "Current", "dflt"),
            "dflt");
}

TEST(SettingsTest, BlanksAroundNamesAreTrimmedAndInsideKept) {
  EXPECT_EQ(SettingsKeyPath("  ORVANE ", " Language\\\\orv_tessaly  "),
            "SOFTWARE\\\\KALDERO\\ORVANE\\Language\\\\orv_tessaly");
  const SettingsStore store = SettingsStore::Parse(
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\\\KALDERO\\MY APP\\Lan guage]\n\"Current\"=\"x\"\n");
  EXPECT_EQ(ReadSetting(store, " my app  ", " Lan guage ", "Current", "d"), "x");
  EXPECT_EQ(ReadSetting(store, "MYAPP", "Language", "Current", "d"), "d");
  // The key is trimmed only for the emptiness test: " Current" names another value.
  EXPECT_EQ(ReadSetting(store, "MY APP", "Lan guage", " Current", "d"), "d");
}

TEST(SettingsTest, UnreadableStoresRaiseTheOpenError) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {
      {"REGEDIT4\n", 1},
      {"Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n", 2},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=\"b\\n\"\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=\"b\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\n\"a\"=dword:123456789\n",
       4},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=-\n", 3},
      {"Windows Registry Editor Version 5.00\n[-HKEY_CURRENT_USER\\X]\n", 2},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=hex:01,\\\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=hex:1ff\n", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const SettingsStore store = SettingsStore::Parse(c.text, "test.reg");
    try {
      ReadSetting(store, "ORVANE", "Language", "Current", "");
      ADD_FAILURE() << "no error";
    } catch (const SettingsError& e) {
      EXPECT_EQ(e.Number(), 0x800407D0u + 13);
      EXPECT_STREQ(e.what(), "Could not open registry section");
      EXPECT_NE(e.Detail().find("test.reg: line " + std::to_string(c.line) + ":"),
                std::string::npos)
          << e.Detail();
    }
  }
  EXPECT_EQ(ErrorOf(SettingsStore::Load(fs::temp_directory_path()), "ORVANE", "Language", "Current")
                .first,
            0x800407D0u + 5);  // a folder in place of the file
}

class ShippedSettingsTest : public ::testing::Test {
 protected:
  void TearDown() override { Project() = ProjectState(); }
};

TEST_F(ShippedSettingsTest, TextKeysAreNumberedFromM100001) {
  EXPECT_EQ(TextKey(1), "m100001");
  EXPECT_EQ(TextKey(7), "m100007");
  EXPECT_EQ(TextKey(100), "m100100");
  EXPECT_EQ(HelpFilePathFor("/opt/prog", "es"), fs::path("/opt/prog/Orvane_es.html"));
}

TEST_F(ShippedSettingsTest, BothTablesAreComplete) {
  std::optional<std::vector<int>> english;  // the numbers the English table has
  for (const auto& [file, code] : {std::pair{"settings.reg", "en"}, {"settings-es.reg", "es"}}) {
    SCOPED_TRACE(file);
    LoadSettings(SettingsStore::Load(kShippedData / file));
    const ProjectState& p = Project();
    EXPECT_EQ(p.LanguageCode, code);
    EXPECT_EQ(fs::path(p.HelpFilePath).filename(), std::string("Orvane_") + code + ".html");
    ASSERT_EQ(p.TextTable.size(), static_cast<size_t>(text::kTextCount));
    // Every text up to our own first ones; past them, blocks of numbers
    // may have gaps, but both languages have the same texts.
    std::vector<int> present;
    for (int n = 1; n <= text::kTextCount; ++n)
      if (!p.Text(n).empty()) present.push_back(n);
    for (int n = 1; n <= text::kClassesSorted; ++n) EXPECT_FALSE(p.Text(n).empty()) << "text " << n;
    if (english) {
      EXPECT_EQ(present, *english);
    }
    english = present;
    EXPECT_EQ(p.ApplicationTitle, p.Text(text::kApplicationTitle));
    // Compared with upper-cased palette names, so it must be upper case itself.
    const std::string slope = p.Text(text::kSlopePaletteName);
    EXPECT_TRUE(
        std::none_of(slope.begin(), slope.end(), [](char c) { return c >= 'a' && c <= 'z'; }));
  }
  EXPECT_EQ(Project().Text(text::kProject), "Proyecto");
  EXPECT_EQ(Project().Text(text::kColumnName + 2), "Triángulos");
}

TEST_F(ShippedSettingsTest, MissingStoreGivesEmptyTexts) {
  LoadSettings(SettingsStore::Load("/nonexistent/settings.reg"));
  EXPECT_EQ(Project().LanguageCode, "");
  EXPECT_EQ(fs::path(Project().HelpFilePath).filename(), "Orvane_.html");
  EXPECT_EQ(Project().TextTable, std::vector<std::string>(text::kTextCount));
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(ShippedSettingsTest, LookupOrder) {
  const fs::path config = fs::temp_directory_path() / "orvane-settings-lookup";
  fs::create_directories(config / "orvane");
  std::ofstream(config / "orvane" / "settings.reg")
      << "Windows Registry Editor Version 5.00\n"
         "[HKEY_CURRENT_USER\\SOFTWARE\\\\KALDERO\\ORVANE\\Language]\n\"Current\"=\"xx\"\n";
  {
    ScopedEnv noOverride("ORVANE_SETTINGS", "");
    ScopedEnv xdg("XDG_CONFIG_HOME", config.string());
    EXPECT_EQ(FindSettingsFile(), config / "orvane" / "settings.reg");
    EXPECT_EQ(ReadSetting("ORVANE", "Language", "Current", ""), "xx");
    ScopedEnv override("ORVANE_SETTINGS", (kShippedData / "settings-es.reg").string());
    LoadSettings();
    EXPECT_EQ(Project().LanguageCode, "es");
  }
  // A user store that cannot be read gives way to the shipped one, with a
  // warning, instead of failing every command.
  fs::remove(config / "orvane" / "settings.reg");
  fs::create_directories(config / "orvane" / "settings.reg");
  {
    ScopedEnv noOverride("ORVANE_SETTINGS", "");
    ScopedEnv xdg("XDG_CONFIG_HOME", config.string());
    std::vector<std::string> warnings;
    EXPECT_NE(FindSettingsFile(&warnings), config / "orvane" / "settings.reg");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("cannot be read; the shipped settings are used"), std::string::npos);
  }
  fs::remove_all(config);
  // The build puts the shipped defaults beside the command-line program.
  EXPECT_TRUE(fs::is_regular_file(fs::path(ORVANE_CLI).parent_path() / "data" / "settings.reg"));
}

TEST(CommandLineTest, SplitsAtTheCaret) {
  using A = ProjectArgument;
  EXPECT_EQ(SplitCommandLine("Lote 5^/home/ana/obras/lote5"), A("Lote 5", "/home/ana/obras/lote5"));
  EXPECT_EQ(SplitCommandLine("P^/data/p/^extra"), A("P", "/data/p"));
  EXPECT_EQ(SplitCommandLine("P^"), A("P", ""));
  EXPECT_EQ(SplitCommandLine("/home/ana/obras/lote5/"), A("lote5", "/home/ana/obras/lote5"));
  EXPECT_EQ(SplitCommandLine("lote5"), A("lote5", "lote5"));
  EXPECT_EQ(SplitCommandLine("/"), A("", "/"));
  EXPECT_EQ(SplitCommandLine(""), A("", ""));
}

}  // namespace
}  // namespace orvane
