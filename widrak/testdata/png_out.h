#pragma once
// Where the component tests leave their pictures: build/<kind>/widrak_png/.

#include <filesystem>
#include <string>

#include "platform/ui/forms.h"

namespace widrak::testing {

inline std::string png_path(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(STATION_BINARY_DIR) / "widrak_png";
    std::filesystem::create_directories(dir);
    return (dir / (name + ".png")).string();
}

inline void save(ui::TCustomForm& form, const std::string& name) { form.SaveToPng(png_path(name)); }

}  // namespace widrak::testing
