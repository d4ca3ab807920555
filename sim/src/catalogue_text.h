// The catalogue text, compiled into the library from
// sim/catalogue/nv_catalogue.txt by the build (see sim/catalogue/embed.cmake).
#pragma once

#include <cstddef>

namespace kmx::sim::catalogue {

extern const char kCatalogueText[];
extern const std::size_t kCatalogueTextSize;

}  // namespace kmx::sim::catalogue
