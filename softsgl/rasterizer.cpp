#include "softsgl/rasterizer.h"

#include <cstring>

namespace softsgl {

void renderFrame(const Frame&, const RenderTarget& target) {
    for (int y = 0; y < target.height; ++y)
        std::memset(target.base + size_t(y) * target.stride, 0, size_t(target.width) * 2);
}

} // namespace softsgl
