#include "game/recipe.h"

#include "game/text_and_sound.h"
#include "graphics/vex2d.h"
#include "system/random.h"

namespace morvelle {

RecipePtr TRecipe::Create(const String& name, std::vector<String> source, Reward reaktion) {
    auto recipe = std::make_shared<TRecipe>();
    Game().RecipeList.AddLast(recipe);
    recipe->Name = name;
    recipe->Source = std::move(source);
    recipe->Reaktion = std::move(reaktion);
    return recipe;
}

void TRecipe::Random() {
    GameState& game = Game();
    const int32_t chosen = vexel::RandomInt(0, static_cast<int32_t>(game.RecipeList.Count()) - 1);
    int32_t position = 0;
    for (const RecipePtr& recipe : game.RecipeList) {
        if (position++ != chosen) continue;
        recipe->Zutaten = recipe->Source;
        game.CurrentRecipe = recipe;
        return;
    }
}

void TRecipe::Get(const String& name) {
    if (Zutaten.empty() || Zutaten.back() != name) return;
    Zutaten.pop_back();
    if (!Zutaten.empty()) return;
    Reaktion();
    Random();
}

void TRecipe::Draw() {
    const GameState& game = Game();
    const float width = static_cast<float>(game.ScreenWidth);
    const float height = static_cast<float>(game.ScreenHeight);
    const int32_t progress = ToInt(100.0f - (static_cast<float>(Zutaten.size()) * 100.0f) /
                                                static_cast<float>(Source.size()));
    String text;
    text.reserve(Zutaten.back().size() + 8);  // one allocation for the whole line
    text += Zutaten.back();
    text += u" (";
    text += vexel::IntToString(progress);
    text += u"%)";

    vexel::SetDrawAlpha(0.66f);
    vexel::SetDrawColor(96, 96, 96);
    vexel::DrawRectangle(24, height - 48,
                         width * 0.28f + static_cast<float>(vexel::TextWidthOf(text)), 32);
    vexel::SetDrawAlpha(1);
    vexel::SetDrawColor(255, 255, 255);
    String label;
    label.reserve(Name.size() + 2);
    label += Name;
    label += u": ";
    DrawTextAligned(label, 32, height - 32, 0, 0.5f);
    DrawTextAligned(text, width * 0.33f, height - 32, 0.5f, 0.5f);
}

int32_t RewardTime() {
    GameState& game = Game();
    game.GameEndTime += 10000;
    AddScore(500);
    return 0;
}

int32_t RewardVegetable() {
    GameState& game = Game();
    game.GameEndTime += 5000;
    AddScore(1500);
    return 0;
}

int32_t RewardChicken() {
    GameState& game = Game();
    // The float nearest 1.2 lies just above it, so 5 and 10 grow to exactly 6 and 12.
    game.ChickenLimit = ToInt(static_cast<float>(game.ChickenLimit) * 1.2f);
    AddScore(1000);
    return 0;
}

void CreateRecipes() {
    TRecipe::Create(u"Pilz-Suppe", {u"Pilz", u"Pilz", u"Apfel", u"Karotte", u"Pilz", u"Pilz"},
                    RewardTime);
    TRecipe::Create(u"Hühnerbrühe",
                    {u"Huhn", u"Karotte", u"Karotte", u"Huhn", u"Huhn", u"Apfel", u"Huhn"},
                    RewardChicken);
    TRecipe::Create(u"Frucht-Punsch",
                    {u"Kirsche", u"Kirsche", u"Apfel", u"Kirsche", u"Apfel", u"Apfel"}, RewardTime);
    TRecipe::Create(u"Gemüsebrühe",
                    {u"Karotte", u"Karotte", u"Apfel", u"Karotte", u"Pilz", u"Pilz", u"Pilz",
                     u"Pilz", u"Apfel", u"Karotte"},
                    RewardVegetable);
}

}  // namespace morvelle
