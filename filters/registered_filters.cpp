// The filters the module offers, in the order of their indices for the host.
// Part of the plug-in itself rather than of a folder's library: the module
// object (plugin/) owns the list, while the filters build on that library.
#include <new>

#include "filters/parallelogram_filter.h"
#include "plugin/plugin_module.h"

std::int32_t PluginModule::RegisterFilters() {
    // A failed allocation leaves a null entry, which Initialise detects.
    FilterBase* filter = new (std::nothrow) ParallelogramFilter();
    try {
        filters.push_back(filter);
    } catch (const std::bad_alloc&) {
        delete filter;
        filters.push_back(nullptr);  // may throw again: Initialise's caller guards it
    }
    return 1;
}
