#pragma once
// What the loader tests see of their plug-ins.

#include "library/plugin_manager.h"

struct TestPlugin : lib::PluginBase {
    explicit TestPlugin(const char* id) : id(id) {}
    ~TestPlugin() override {
        if (destroyed) ++*destroyed;
    }
    const char* id;
    int* destroyed = nullptr;
};
