#include "platform/ui/strings.h"

#include <algorithm>
#include <stdexcept>

#include "platform/rtl/text.h"

namespace ui {
TStrings& TStrings::operator=(const TStrings& other) {
    if (this != &other) {
        items_ = other.items_;
        changed();
    }
    return *this;
}

const TStrings::Item& TStrings::at(int index, const char* what) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range(std::string("TStrings::") + what + ": index " + std::to_string(index) +
                                " out of range (count " + std::to_string(Count()) + ")");
    return items_[static_cast<std::size_t>(index)];
}

const std::string& TStrings::Strings(int index) const { return at(index, "Strings").text; }

void TStrings::SetStrings(int index, std::string text) {
    const_cast<Item&>(at(index, "SetStrings")).text = std::move(text);
    changed();
}

std::intptr_t TStrings::Objects(int index) const { return at(index, "Objects").object; }

void TStrings::SetObjects(int index, std::intptr_t object) {
    const_cast<Item&>(at(index, "SetObjects")).object = object;
}

int TStrings::Add(std::string text) { return AddObject(std::move(text), 0); }

int TStrings::AddObject(std::string text, std::intptr_t object) {
    items_.push_back({std::move(text), object});
    changed();
    return Count() - 1;
}

void TStrings::Insert(int index, std::string text) {
    if (index < 0 || index > Count())
        throw std::out_of_range("TStrings::Insert: index " + std::to_string(index) + " out of range");
    items_.insert(items_.begin() + index, Item{std::move(text), 0});
    changed();
}

void TStrings::Delete(int index) {
    at(index, "Delete");
    items_.erase(items_.begin() + index);
    changed();
}

void TStrings::Clear() {
    if (items_.empty()) return;
    items_.clear();
    changed();
}

void TStrings::Move(int from, int to) {
    at(from, "Move");
    at(to, "Move");
    Item item = items_[static_cast<std::size_t>(from)];
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(item));
    changed();
}

void TStrings::Exchange(int a, int b) {
    at(a, "Exchange");
    at(b, "Exchange");
    std::swap(items_[static_cast<std::size_t>(a)], items_[static_cast<std::size_t>(b)]);
    changed();
}

int TStrings::IndexOf(std::string_view text) const {
    const std::string key = rtl::fold(text);
    for (int i = 0; i < Count(); ++i)
        if (rtl::fold(items_[static_cast<std::size_t>(i)].text) == key) return i;
    return -1;
}

void TStrings::Sort() {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const Item& a, const Item& b) { return rtl::fold(a.text) < rtl::fold(b.text); });
    changed();
}

std::string TStrings::Text() const {
    std::string s;
    for (const auto& i : items_) {
        s += i.text;
        s += "\r\n";
    }
    return s;
}

void TStrings::SetText(std::string_view text) {
    items_.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        items_.push_back({std::string(text.substr(start, i - start)), 0});
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) items_.push_back({std::string(text.substr(start)), 0});
    changed();
}

void TStrings::Assign(const std::vector<std::string>& texts) {
    items_.clear();
    for (const auto& t : texts) items_.push_back({t, 0});
    changed();
}

std::vector<std::string> TStrings::ToVector() const {
    std::vector<std::string> v;
    v.reserve(items_.size());
    for (const auto& i : items_) v.push_back(i.text);
    return v;
}

void TStrings::EndUpdate() {
    if (updating_ > 0 && --updating_ == 0 && pending_) {
        pending_ = false;
        if (OnChange) OnChange();
    }
}

void TStrings::changed() {
    if (updating_ > 0) {
        pending_ = true;
        return;
    }
    if (OnChange) OnChange();
}

}  // namespace ui
