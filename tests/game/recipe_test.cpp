#include "game/recipe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "play_fixture.h"
#include "system/random.h"

namespace morvelle::testing {
namespace {

using Recipes = GameFixture;

RecipePtr Recipe(size_t index) {
    return Game().RecipeList.ToVector().at(index);
}

// Chooses `recipe` as Random would: its ingredients refilled, current.
void Choose(const RecipePtr& recipe) {
    recipe->Zutaten = recipe->Source;
    Game().CurrentRecipe = recipe;
}

TEST_F(Recipes, EachRecipeAsksForItsIngredientsLastFirst) {
    const std::vector<std::pair<std::u16string, std::vector<std::u16string>>> expected = {
        {u"Pilz-Suppe", {u"Pilz", u"Pilz", u"Karotte", u"Apfel", u"Pilz", u"Pilz"}},
        {u"Hühnerbrühe", {u"Huhn", u"Apfel", u"Huhn", u"Huhn", u"Karotte", u"Karotte", u"Huhn"}},
        {u"Frucht-Punsch", {u"Apfel", u"Apfel", u"Kirsche", u"Apfel", u"Kirsche", u"Kirsche"}},
        {u"Gemüsebrühe",
         {u"Karotte", u"Apfel", u"Pilz", u"Pilz", u"Pilz", u"Pilz", u"Karotte", u"Apfel",
          u"Karotte", u"Karotte"}},
    };
    ASSERT_EQ(Game().RecipeList.Count(), 4u);
    // Not chosen yet: nothing asked for.
    for (const RecipePtr& recipe : Game().RecipeList)
        EXPECT_TRUE(recipe->Zutaten.empty());
    for (size_t i = 0; i < expected.size(); ++i) {
        const RecipePtr recipe = Recipe(i);
        EXPECT_EQ(recipe->Name, expected[i].first);
        Choose(recipe);
        std::vector<std::u16string> asked;
        for (size_t n = recipe->Source.size(); n > 0; --n) {
            asked.push_back(recipe->Zutaten.back());
            // Any other ingredient changes nothing.
            recipe->Get(asked.back() == u"Apfel" ? u"Pilz" : u"Apfel");
            EXPECT_EQ(recipe->Zutaten.back(), asked.back());
            recipe->Get(asked.back());
        }
        EXPECT_EQ(asked, expected[i].second) << vexel::ToUtf8(expected[i].first);
    }
}

TEST_F(Recipes, ThePanelShowsTheSoupTheNextIngredientAndTheProgress) {
    // Built-in 8x16 font: text widths are 8 pixels per character.
    const RecipePtr soup = Recipe(0);
    Choose(soup);
    soup->Get(u"Pilz");
    soup->Get(u"Pilz");
    driver_->TakeCalls();
    soup->Draw();
    EXPECT_EQ(TakeTexts(),
              (std::vector<DrawnText>{{u"Pilz-Suppe: ", 32, 472}, {u"Karotte (33%)", 285, 472}}));
    // Bar 286.72 + 13 x 8 wide; text centred at 337.92 - 52, white like all the game's text.
    EXPECT_EQ(driver_->TakeCalls(),
              (std::vector<std::string>{"Alpha 0.66", "Color 96 96 96", "Rect 0 0 390.72 32 24 464",
                                        "Alpha 1", "Color 255 255 255"}));

    const auto progress_texts = [&](const RecipePtr& recipe) {
        Choose(recipe);
        std::vector<std::u16string> shown;
        while (Game().CurrentRecipe == recipe && recipe->Zutaten.size() > 0 && shown.size() < 20) {
            recipe->Draw();
            shown.push_back(TakeTexts().at(1).text);
            if (recipe->Zutaten.size() == 1) break;
            recipe->Get(recipe->Zutaten.back());
        }
        return shown;
    };
    EXPECT_EQ(
        progress_texts(Recipe(1)),
        (std::vector<std::u16string>{u"Huhn (0%)", u"Apfel (14%)", u"Huhn (28%)", u"Huhn (42%)",
                                     u"Karotte (57%)", u"Karotte (71%)", u"Huhn (85%)"}));
    EXPECT_EQ(
        progress_texts(Recipe(3)),
        (std::vector<std::u16string>{u"Karotte (0%)", u"Apfel (10%)", u"Pilz (20%)", u"Pilz (30%)",
                                     u"Pilz (40%)", u"Pilz (50%)", u"Karotte (60%)", u"Apfel (70%)",
                                     u"Karotte (80%)", u"Karotte (90%)"}));
}

TEST_F(Recipes, RandomChoosesByOneDrawAndRefillsTheChoice) {
    const int32_t seed = vexel::RandomSeed();
    std::vector<int32_t> draws;
    for (int i = 0; i < 8; ++i)
        draws.push_back(vexel::RandomInt(0, 3));
    vexel::SeedRandom(seed);
    for (const int32_t draw : draws) {
        const RecipePtr chosen = Recipe(static_cast<size_t>(draw));
        chosen->Zutaten.clear();
        TRecipe::Random();
        EXPECT_EQ(Game().CurrentRecipe, chosen);
        EXPECT_EQ(chosen->Zutaten, chosen->Source);
    }
}

TEST_F(Recipes, AFinishedSoupRewardsAndAFreshRecipeIsChosen) {
    GameState& game = Game();
    game.GameEndTime = 100000;
    game.Score = 7;
    const RecipePtr soup = Recipe(0);
    Choose(soup);
    soup->Zutaten = {u"Pilz"};
    const int32_t seed = vexel::RandomSeed();
    const RecipePtr next = Recipe(static_cast<size_t>(vexel::RandomInt(0, 3)));
    vexel::SeedRandom(seed);
    soup->Get(u"Pilz");
    EXPECT_EQ(game.GameEndTime, 110000);
    EXPECT_EQ(game.Score, 507);
    EXPECT_EQ(game.CurrentRecipe, next);
    EXPECT_EQ(next->Zutaten, next->Source);
    game.CurrentRecipe->Draw();
    EXPECT_NE(TakeTexts().at(1).text.find(u"(0%)"), std::u16string::npos);
}

TEST_F(Recipes, RewardsGiveTimePointsOrChickens) {
    GameState& game = Game();
    game.GameEndTime = 1000;
    RewardVegetable();
    EXPECT_EQ(game.GameEndTime, 6000);
    EXPECT_EQ(game.Score, 1500);
    RewardTime();
    EXPECT_EQ(game.GameEndTime, 16000);
    EXPECT_EQ(game.Score, 2000);

    std::vector<int32_t> limits;
    for (int i = 0; i < 10; ++i) {
        RewardChicken();
        limits.push_back(game.ChickenLimit);
    }
    EXPECT_EQ(limits, (std::vector<int32_t>{6, 7, 8, 9, 10, 12, 14, 16, 19, 22}));
    EXPECT_EQ(game.Score, 12000);
    EXPECT_EQ(game.GameEndTime, 16000);
}

}  // namespace
}  // namespace morvelle::testing
