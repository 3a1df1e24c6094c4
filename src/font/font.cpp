#include "font/font.h"

#include "font/for_testing.h"
#include "font/freetype_font.h"
#include "runtime/last_error.h"
#include "runtime/registry.h"

namespace vexel {

namespace {

Registry<TFontLoader> MakeBuiltinLoaders() {
    Registry<TFontLoader> loaders;
    loaders.Link(std::make_shared<TFreeTypeFontLoader>());
    return loaders;
}

Registry<TFontLoader>& Loaders() {
    static Registry<TFontLoader> loaders = MakeBuiltinLoaders();
    return loaders;
}

}  // namespace

void AddFontLoader(const FontLoaderPtr& loader) {
    // Only the FreeType loader, made here, ever sits at the tail without a successor, so a
    // loader passed in with no successor cannot be linked yet.
    if (!loader || loader->_succ) return;
    Loaders().Link(loader);
}

FontPtr LoadFontFrom(const Url& url, int32_t size, int32_t style) {
    const FailureScope scope(u"LoadFontFrom");
    for (TFontLoader* at = Loaders().Head().get(); at; at = at->_succ.get()) {
        if (FontPtr font = at->LoadFont(url, size, style)) {
            DiscardFailure();
            return font;
        }
    }
    RecordFailure(u"LoadFontFrom", url.IsStream() ? String(u"a stream") : url.Text(),
                  url.IsStream() || url.Text().empty() ? u"fonts load from a path only"
                                                       : u"no font loader reads it");
    return nullptr;
}

void ResetFontLoadersForTesting() {
    Loaders().Clear();
    Loaders() = MakeBuiltinLoaders();
}

}  // namespace vexel
