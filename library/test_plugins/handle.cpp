#include "library/test_plugins/test_plugin.h"

#include <string>

// Declines unless the host handed over its window handle first.
extern "C" lib::PluginBase* _reg_plugin(std::intptr_t handle) {
    if (handle != 4242) return nullptr;
    return new TestPlugin("handle");
}
