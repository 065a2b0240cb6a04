#pragma once
// The item lists of list boxes, combo boxes, radio groups and memos: texts
// with an optional object (an integer the owner attaches) each, that tell
// their control about every change so that it repaints and keeps its
// selection in range.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class TStrings {
public:
    TStrings() = default;
    TStrings(const TStrings& other) : items_(other.items_) {}
    TStrings& operator=(const TStrings& other);

    int Count() const { return static_cast<int>(items_.size()); }
    // Reading or writing an index outside 0 .. Count()-1 throws
    // std::out_of_range naming the index.
    const std::string& operator[](int index) const { return Strings(index); }
    const std::string& Strings(int index) const;
    void SetStrings(int index, std::string text);
    std::intptr_t Objects(int index) const;
    void SetObjects(int index, std::intptr_t object);

    int Add(std::string text);
    int AddObject(std::string text, std::intptr_t object);
    void Insert(int index, std::string text);  // index may be Count()
    void Delete(int index);
    void Clear();
    void Move(int from, int to);
    void Exchange(int a, int b);
    // First index of the text, letter case ignored (Latin and Cyrillic); -1.
    int IndexOf(std::string_view text) const;
    // Sorts by text, letter case ignored.
    void Sort();

    // The items joined with CR LF after each; setting splits at CR, LF or
    // CR LF.
    std::string Text() const;
    void SetText(std::string_view text);
    // Texts in order; objects become 0.
    void Assign(const std::vector<std::string>& texts);
    void Assign(const TStrings& other) { *this = other; }
    std::vector<std::string> ToVector() const;

    // Several changes told as one.
    void BeginUpdate() { ++updating_; }
    void EndUpdate();

    std::function<void()> OnChange;

private:
    void changed();
    struct Item {
        std::string text;
        std::intptr_t object = 0;
    };
    const Item& at(int index, const char* what) const;
    std::vector<Item> items_;
    int updating_ = 0;
    bool pending_ = false;
};

}  // namespace ui
