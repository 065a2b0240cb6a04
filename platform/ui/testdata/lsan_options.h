#pragma once
// LeakSanitizer reads its default options from __lsan_default_options(): a
// test binary that draws text defines it (in exactly one of its files) with
// LSAN_DEFAULT_OPTIONS(path of its source, relative path of lsan.supp), so
// that the suppressions beside this header apply under the sanitizer build.
// The text is built at compile time: the sanitizer asks for it before the
// program's own initialisation has run.

#include <array>
#include <cstddef>
#include <string_view>

namespace ui::testing {

template <std::size_t N>
struct OptionsText {
    std::array<char, N> text{};
};

constexpr std::size_t options_size(std::string_view file, std::string_view relative) {
    return std::string_view("suppressions=").size() + (file.rfind('/') + 1) + relative.size() +
           std::string_view(":print_suppressions=0").size() + 1;
}

template <std::size_t N>
constexpr OptionsText<N> make_options(std::string_view file, std::string_view relative) {
    OptionsText<N> o;
    std::size_t k = 0;
    for (char c : std::string_view("suppressions=")) o.text[k++] = c;
    for (char c : file.substr(0, file.rfind('/') + 1)) o.text[k++] = c;
    for (char c : relative) o.text[k++] = c;
    for (char c : std::string_view(":print_suppressions=0")) o.text[k++] = c;
    o.text[k] = '\0';
    return o;
}

}  // namespace ui::testing

#define LSAN_DEFAULT_OPTIONS(file, relative)                                                      \
    namespace {                                                                                   \
    constexpr auto kLsanOptions =                                                                 \
        ::ui::testing::make_options<::ui::testing::options_size(file, relative)>(file, relative); \
    }                                                                                             \
    extern "C" const char* __lsan_default_options() { return kLsanOptions.text.data(); }
