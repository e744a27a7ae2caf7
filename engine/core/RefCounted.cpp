#include "core/RefCounted.h"

#include "core/Log.h"

namespace nuv {

RefCounted::~RefCounted() {
    if (references_ > 0) LogWarning("Удаление объекта, имеющего ссылки. Количество ссылок [%d].", references_);
}

} // namespace nuv
