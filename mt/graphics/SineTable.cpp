#include "mt/graphics/SineTable.h"

#include <cmath>
#include <new>
#include <numbers>

namespace mt::graphics {

SineTable* SineTable::create(int count) {
    if (count < 4 || (count & (count - 1)) != 0)
        return nullptr;
    SineTable* table = new (std::nothrow) SineTable();
    if (!table)
        return nullptr;
    try {
        table->values.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        delete table;
        return nullptr;
    }
    for (int i = 0; i < count; ++i)
        table->values[static_cast<size_t>(i)] =
            static_cast<int32_t>(std::lround(std::sin(2.0 * std::numbers::pi * i / count) * 65536.0));
    return table;
}

}  // namespace mt::graphics
