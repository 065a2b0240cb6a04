#include "library/test_plugins/test_plugin.h"

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t) { return nullptr; }
