#include "calc/catalogue.h"

namespace calc {

Selection select(const CatalogueEntry& entry) {
    Selection s{std::string(entry.page), std::nullopt, entry.mode};
    if (entry.setsCaptions()) {
        s.captions.emplace();
        for (std::size_t i = 0; i < 4; ++i) {
            (*s.captions)[i] = std::string(entry.captions[i]);
        }
    }
    return s;
}

Selection startupSelection() {
    return select(kCatalogue.front());
}

const CatalogueEntry* entryForId(std::string_view id) {
    for (const auto& entry : kCatalogue) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

const CatalogueEntry& menuEntryOf(const CatalogueEntry& entry) {
    if (entry.kind == EntryKind::Startup) {
        for (const CatalogueEntry& e : kCatalogue) {
            if (e.kind == EntryKind::Circuit && e.page == entry.page) {
                return e;
            }
        }
    }
    return entry;
}

std::string pagePath(std::string_view adress, std::string_view page, char separator) {
    std::string path(adress);
    for (const char ch : page) {
        path.push_back(ch == '\\' ? separator : ch);
    }
    return path;
}

} // namespace calc
