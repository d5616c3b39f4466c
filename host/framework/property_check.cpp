#include "host/framework/property_check.h"

namespace host::framework {
namespace {

const KSPROPERTY_ITEM* FindItem(const KSPROPERTY_SET& set, ULONG id) {
    for (ULONG i = 0; i < set.PropertiesCount; ++i) {
        if (set.PropertyItem[i].PropertyId == id) return &set.PropertyItem[i];
    }
    return nullptr;
}

}  // namespace

PropertyLookup CheckPropertyRequest(const KSPROPERTY_SET* Sets, ULONG SetCount, const GUID& Set,
                                    ULONG Id, bool IsSet, ULONG InputSize, ULONG DataSize) {
    for (ULONG index = 0; index < SetCount; ++index) {
        if (!IsEqualGUID(*Sets[index].Set, Set)) continue;
        const KSPROPERTY_ITEM* item = FindItem(Sets[index], Id);
        if (item == nullptr) return {STATUS_NOT_FOUND, index, 0};
        const PFNKSHANDLER handler = IsSet ? item->SetPropertyHandler : item->GetPropertyHandler;
        if (handler == nullptr) return {STATUS_INVALID_DEVICE_REQUEST, index, 0};
        if (InputSize < item->MinProperty) return {STATUS_INVALID_BUFFER_SIZE, index, 0};
        if (DataSize < item->MinData) {
            return {DataSize == 0 ? STATUS_BUFFER_OVERFLOW : STATUS_BUFFER_TOO_SMALL, index,
                    item->MinData};
        }
        return {STATUS_SUCCESS, index, 0};
    }
    return {STATUS_NOT_FOUND, 0, 0};
}

}  // namespace host::framework
