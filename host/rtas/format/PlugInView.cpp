#include "host/rtas/format/PlugInView.h"

#include <new>

CustomViewFactory CustomViewRegistry::Find(const std::string& kind) const {
    const auto it = mFactories.find(kind);
    return it == mFactories.end() ? nullptr : it->second;
}

CCustomView* CPlugInView::FindCustomView(const std::string& kind) const {
    for (const auto& view : mViews) {
        if (view->GetKind() == kind) return view.get();
    }
    return nullptr;
}

std::unique_ptr<CPlugInView> CreateViewContainer(const CustomViewRegistry& registry,
                                                 const std::string& description, int16_t width,
                                                 int16_t height) {
    try {
        auto container = std::make_unique<CPlugInView>(width, height);
        size_t pos = 0;
        while (pos < description.size()) {
            if (description[pos] != '!') return nullptr;
            const size_t open = description.find('[', pos);
            const size_t close = description.find(']', pos);
            if (open == std::string::npos || close == std::string::npos || close < open) return nullptr;
            const std::string kind = description.substr(pos + 1, open - pos - 1);
            const CustomViewFactory factory = registry.Find(kind);
            if (kind.empty() || factory == nullptr) return nullptr;
            std::unique_ptr<CCustomView> view(factory());
            if (!view) return nullptr;
            container->AddCustomView(std::move(view));
            pos = close + 1;
        }
        if (container->GetNumCustomViews() == 0) return nullptr;
        return container;
    } catch (...) {
        return nullptr;
    }
}
