// The options and high-score files byte for byte, and how damaged ones load.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>

#include "game/highscore.h"
#include "game/options.h"
#include "game/resources.h"
#include "game/saved_files.h"
#include "game_test_support.h"
#include "stream/memory_stream.h"
#include "support/game_file_bytes.h"

namespace morvelle::testing {
namespace {

using vexel::testing::ReadFileBytes;
using vexel::testing::WriteFileBytes;
using Bytes = std::vector<uint8_t>;

class GameFiles : public GameFolderTest {
  protected:
    std::vector<std::pair<String, int32_t>> Table() {
        std::vector<std::pair<String, int32_t>> rows;
        for (const HighscorePtr& entry : Game().HighscoreList)
            rows.emplace_back(entry->Name, entry->Points);
        return rows;
    }
    void LoadScores(const Bytes& bytes) {
        WriteFileBytes(DataPath("High.Score"), bytes);
        Game().HighscoreList.Clear();
        THighscore::Load();
    }
};

TEST_F(GameFiles, OptionsAreWrittenAsNameLineAndSwitch) {
    GameState& game = Game();
    game.PlayerName = u"Jo\u00fc\u20ac";  // ü keeps its byte, € keeps only its low 8 bits
    game.SoundOn = 1;
    SaveOptions();
    EXPECT_EQ(ReadFileBytes(DataPath("Options")),
              (Bytes{'J', 'o', 0xFC, 0xAC, 0x0D, 0x0A, 0x01, 0x00, 0x00, 0x00}));

    game.PlayerName.clear();
    game.SoundOn = 0;
    SaveOptions();
    EXPECT_EQ(ReadFileBytes(DataPath("Options")), (Bytes{0x0D, 0x0A, 0, 0, 0, 0}));

    // What was saved reads back, the € now as the character 0xAC.
    game.PlayerName = u"Jo\u00fc\u20ac";
    game.SoundOn = -2;
    SaveOptions();
    game.PlayerName = u"x";
    game.SoundOn = 1;
    LoadOptions();
    EXPECT_EQ(game.PlayerName, u"Jo\u00fc\u00ac");
    EXPECT_EQ(game.SoundOn, -2);
}

TEST_F(GameFiles, OptionsNameEndsAtCrLfLfOrTheEnd) {
    GameState& game = Game();
    const Bytes files[] = {{'A', 'n', 'n', 'a', 0x0D, 0x0A, 2, 0, 0, 0},
                           {'A', 'n', 'n', 'a', 0x0A, 2, 0, 0, 0},
                           {'A', 'n', 0x0D, 'n', 'a', 0x0A, 2, 0, 0, 0},
                           {'A', 'n', 'n', 'a', 0x00, 2, 0, 0, 0}};
    for (const Bytes& file : files) {
        WriteFileBytes(DataPath("Options"), file);
        game.PlayerName.clear();
        game.SoundOn = 1;
        LoadOptions();
        EXPECT_EQ(game.PlayerName, u"Anna");
        EXPECT_EQ(game.SoundOn, 2);
    }
    // A file that ends right after the name keeps the name and leaves sound on.
    WriteFileBytes(DataPath("Options"), {'A', 'n', 'n', 'a'});
    game.PlayerName.clear();
    game.SoundOn = 1;
    LoadOptions();
    EXPECT_EQ(game.PlayerName, u"Anna");
    EXPECT_EQ(game.SoundOn, 1);
    // So does one cut inside the integer.
    WriteFileBytes(DataPath("Options"), {'B', 'o', 0x0D, 0x0A, 0, 0});
    LoadOptions();
    EXPECT_EQ(game.PlayerName, u"Bo");
    EXPECT_EQ(game.SoundOn, 1);
}

TEST_F(GameFiles, MissingOptionsKeepTheDefaultsAndOverlongNamesAreIgnored) {
    GameState& game = Game();
    game.PlayerName = u"login";
    LoadOptions();
    EXPECT_EQ(game.PlayerName, u"login");
    EXPECT_EQ(game.SoundOn, 1);

    Bytes overlong(MAX_NAME_BYTES + 1, 'x');
    overlong.insert(overlong.end(), {0x0D, 0x0A, 0, 0, 0, 0});
    WriteFileBytes(DataPath("Options"), overlong);
    LoadOptions();
    EXPECT_EQ(game.PlayerName, u"login");
    EXPECT_EQ(game.SoundOn, 1);

    Bytes longest(MAX_NAME_BYTES, 'y');
    longest.insert(longest.end(), {0x0A, 0, 0, 0, 0});
    WriteFileBytes(DataPath("Options"), longest);
    LoadOptions();
    EXPECT_EQ(game.PlayerName, String(MAX_NAME_BYTES, u'y'));
    EXPECT_EQ(game.SoundOn, 0);
}

TEST(DefaultPlayerName, IsTheFirstLoginNameSetOfUsernameUserLogname) {
    // The variables as the test found them, put back at the end.
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* variable : {"USERNAME", "USER", "LOGNAME"}) {
        const char* value = std::getenv(variable);
        saved.emplace_back(variable, value ? std::optional<std::string>(value) : std::nullopt);
    }
    const auto set = [](const char* username, const char* user, const char* logname) {
        const std::pair<const char*, const char*> values[] = {
            {"USERNAME", username}, {"USER", user}, {"LOGNAME", logname}};
        for (const auto& [variable, value] : values) {
            if (value) {
                setenv(variable, value, 1);
            } else {
                unsetenv(variable);
            }
        }
        return DefaultPlayerName();
    };
    EXPECT_EQ(set("Uta", "ulf", "lea"), u"Uta");
    EXPECT_EQ(set(nullptr, "ulf", "lea"), u"ulf");
    EXPECT_EQ(set("", "ulf", "lea"), u"ulf");
    EXPECT_EQ(set(nullptr, "", "lea"), u"lea");
    EXPECT_EQ(set(nullptr, nullptr, "lea"), u"lea");
    EXPECT_EQ(set("", "", ""), u"");
    EXPECT_EQ(set(nullptr, nullptr, nullptr), u"");
    for (const auto& [variable, value] : saved) {
        if (value) {
            setenv(variable, value->c_str(), 1);
        } else {
            unsetenv(variable);
        }
    }
}

TEST_F(GameFiles, FillGivesTheTenDefaultEntriesWithoutHighlight) {
    THighscore::Load();  // no file
    const std::vector<int32_t> points = {1315, 1050, 815, 610, 435, 290, 175, 90, 35, 10};
    ASSERT_EQ(Table().size(), 10u);
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(Table()[i], (std::pair<String, int32_t>{u"Orlan", points[i]}));
    }
    EXPECT_EQ(Game().LastHighscore, nullptr);
    EXPECT_EQ(Game().HighscoreList.ToVector()[0]->ToString(), u"Orlan ~ 1315");
}

TEST_F(GameFiles, NewEntriesRankAboveEqualScores) {
    THighscore::Fill();
    THighscore::Add(u"Fünf", 500);
    EXPECT_EQ(Table()[4], (std::pair<String, int32_t>{u"Fünf", 500}));
    EXPECT_EQ(Table()[5].second, 435);
    EXPECT_EQ(Game().LastHighscore, Game().HighscoreList.ToVector()[4]);
    THighscore::Add(u"Top", 1315);
    EXPECT_EQ(Table()[0], (std::pair<String, int32_t>{u"Top", 1315}));
    EXPECT_EQ(Table()[1], (std::pair<String, int32_t>{u"Orlan", 1315}));
    // Extreme points still sort the right way round.
    THighscore::Add(u"min", INT32_MIN);
    THighscore::Add(u"max", INT32_MAX);
    EXPECT_EQ(Table().front().first, u"max");
    EXPECT_EQ(Table().back().first, u"min");
}

TEST_F(GameFiles, SaveWritesTheFirstTenRecords) {
    THighscore::Fill();
    THighscore::Add(u"Fünf", 500);
    THighscore::Add(u"Ende", 1);  // eleventh and twelfth: kept in memory, not saved
    THighscore::Save();
    Bytes expected;
    const auto record = [&](const std::string& name, int32_t points) {
        const Bytes bytes = ScoreRecord(name, points);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    };
    for (int32_t points : {1315, 1050, 815, 610})
        record("Orlan", points);
    record("F\xFCnf", 500);
    for (int32_t points : {435, 290, 175, 90, 35})
        record("Orlan", points);
    EXPECT_EQ(ReadFileBytes(DataPath("High.Score")), expected);
    EXPECT_EQ(expected.size(), 109u);
}

TEST_F(GameFiles, LoadAddsRecordsSoTiesSwapAtEachLoad) {
    LoadScores(
        {'A', 0x0D, 0x0A, 100, 0, 0, 0, 'B', 0x0D, 0x0A, 100, 0, 0, 0, 'C', 0x0A, 50, 0, 0, 0});
    EXPECT_EQ(Table(),
              (std::vector<std::pair<String, int32_t>>{{u"B", 100}, {u"A", 100}, {u"C", 50}}));
    EXPECT_EQ(Game().LastHighscore, nullptr);
    THighscore::Save();
    Game().HighscoreList.Clear();
    THighscore::Load();
    EXPECT_EQ(Table(),
              (std::vector<std::pair<String, int32_t>>{{u"A", 100}, {u"B", 100}, {u"C", 50}}));
}

TEST_F(GameFiles, EmptyFileGivesAnEmptyTable) {
    LoadScores({});
    EXPECT_TRUE(Table().empty());
}

TEST_F(GameFiles, DamagedScoreFilesKeepEveryCompleteRecord) {
    const Bytes two = {'A', 0x0D, 0x0A, 7, 0, 0, 0, 'B', 0x0D, 0x0A, 9, 0, 0, 0};
    // Cut inside the third record's integer, right after its name, and inside its name.
    for (const Bytes& tail : {Bytes{'C', 0x0D, 0x0A, 1, 2}, Bytes{'C', 0x0D, 0x0A}, Bytes{'C'}}) {
        Bytes file = two;
        file.insert(file.end(), tail.begin(), tail.end());
        LoadScores(file);
        EXPECT_EQ(Table(), (std::vector<std::pair<String, int32_t>>{{u"B", 9}, {u"A", 7}}));
    }
    // A name line longer than any name ends the table there.
    Bytes overlong = two;
    overlong.insert(overlong.end(), MAX_NAME_BYTES + 1, 'z');
    overlong.insert(overlong.end(), {0x0A, 1, 0, 0, 0});
    LoadScores(overlong);
    EXPECT_EQ(Table().size(), 2u);
}

TEST_F(GameFiles, GarbageIsReadOnlyAsFarAsItsBoundsAllow) {
    // Eight megabytes of random bytes and of line ends: neither is read much beyond the
    // first hundred records of at most a kilobyte each.
    std::mt19937 random(13);
    Bytes noise(8 << 20);
    for (uint8_t& byte : noise)
        byte = static_cast<uint8_t>(random());
    const Bytes line_ends(8 << 20, 0x0A);
    for (const Bytes* garbage : {static_cast<const Bytes*>(&noise), &line_ends}) {
        Game().HighscoreList.Clear();
        const auto stream = vexel::TMemoryStream::CreateBorrowed(*garbage, nullptr);
        THighscore::ReadFrom(*stream);
        EXPECT_LE(Game().HighscoreList.Count(), size_t{THighscore::MAX_LOADED_RECORDS});
        EXPECT_LE(stream->Pos(), THighscore::MAX_LOADED_RECORDS * (MAX_NAME_BYTES + 6));
    }
    // The line ends give exactly one hundred records with empty names.
    EXPECT_EQ(Game().HighscoreList.Count(), 100u);
}

TEST(StartUpMessages, NameTheMissingFileAndWhatToDo) {
    const std::string font = MissingResourceMessage(FONT_PATH);
    EXPECT_NE(font.find("/usr/share/fonts/truetype/freefont/FreeSans.ttf"), std::string::npos);
    EXPECT_NE(font.find("fonts-freefont-ttf"), std::string::npos);
    const std::string picture = MissingResourceMessage(u"Data/gfx/Rübe.png");
    EXPECT_NE(picture.find(vexel::ToUtf8(u"Data/gfx/Rübe.png; ")), std::string::npos) << picture;
    EXPECT_NE(picture.find("scripts/play"), std::string::npos);
    for (const std::string& message : {font, picture}) {
        EXPECT_EQ(message.rfind("morvelle: ", 0), 0u);
        EXPECT_EQ(message.find('\n'), message.size() - 1);
    }
}

}  // namespace
}  // namespace morvelle::testing
