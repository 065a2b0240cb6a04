#include "library/test_plugins/test_plugin.h"

#include <stdexcept>

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t) { throw std::runtime_error("broken plug-in"); }
