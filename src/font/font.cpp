#include "font/font.h"

#include <utility>

#include "font/freetype_font.h"

namespace vexel {

namespace {

FontLoaderPtr& LoaderListHead() {
    static FontLoaderPtr head = std::make_shared<TFreeTypeFontLoader>();
    return head;
}

}  // namespace

void AddFontLoader(const FontLoaderPtr& loader) {
    // Only the FreeType loader, made here, ever sits at the tail without a successor, so a
    // loader passed in with no successor cannot be linked yet.
    if (!loader || loader->_succ) return;
    loader->_succ = LoaderListHead();
    LoaderListHead() = loader;
}

FontPtr LoadFontFrom(const Url& url, int32_t size, int32_t style) {
    for (TFontLoader* at = LoaderListHead().get(); at; at = at->_succ.get())
        if (FontPtr font = at->LoadFont(url, size, style)) return font;
    return nullptr;
}

void ResetFontLoadersForTesting() {
    FontLoaderPtr at = std::move(LoaderListHead());
    while (at)
        at = std::exchange(at->_succ, nullptr);
    LoaderListHead() = std::make_shared<TFreeTypeFontLoader>();
}

}  // namespace vexel
