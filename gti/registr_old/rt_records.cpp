#include "gti/registr_old/rt_records.h"

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/par_tabl.h"
#include "library/io/binary_stream.h"
#include "library/serial/serial_list.h"
#include "library/storage/rt_blocks.h"

#include <algorithm>

namespace {

FileStorageParam header_param(const Param& p) {
    return FileStorageParam(p.name, p.short_name, p.units, p.global_name, p.min_value, p.max_value);
}

bool same_header(const Param& a, const Param& b) {
    return a.global_name == b.global_name && a.name == b.name && a.short_name == b.short_name && a.units == b.units &&
           a.min_value == b.min_value && a.max_value == b.max_value;
}

const char* const fixed_fast_params[] = {"вес_на_крюке", "давление_на_входе", "момент_ротора", "нагрузка", "тальблок"};

}  // namespace

// ---- accumulators ------------------------------------------------------

void FileStoredValue::get_serial_list(lib::serial_list& list) { list | sum | count | last; }

void FileStoredValues::fit(int n) { values_.resize(n < 0 ? 0 : static_cast<std::size_t>(n)); }

void FileStoredValues::clear() {
    for (auto& v : values_) v.clear();
}

void FileStoredValues::next_interval() {
    for (auto& v : values_) {
        v.sum = 0.0L;
        v.count = 0;
    }
}

void FileStoredValues::add_sample(FileStoredValue& entry, int mode, double sample, double current) {
    switch (mode) {
        case 0:
            entry.sum += sample;
            ++entry.count;
            break;
        case 1:
            entry.sum = sample;
            entry.count = 1;
            break;
        case 2:
            // Each interval starts from a sum of 0, so an interval of
            // negative samples only keeps that 0.
            if (entry.sum < current) entry.sum = sample;
            entry.count = 1;
            break;
        default: break;
    }
}

void FileStoredValues::get_serial_list(lib::serial_list& list) { list | values_; }

int RegistryNumbers::number(int i, const AnsiString& name) {
    const AllParams& registry = get_all_params();
    if (i < 0) return registry.get_param_number(std::string_view(name));
    const std::size_t at = static_cast<std::size_t>(i);
    if (at >= numbers_.size()) numbers_.resize(at + 1, -1);
    const int kept = numbers_[at];
    if (kept >= 0 && kept < registry.get_items_count() && registry.at(kept).global_name == name) return kept;
    return numbers_[at] = registry.get_param_number(std::string_view(name));
}

// ---- parameter lists ---------------------------------------------------

int CurrParamsProvider::size() const { return table_.get_items_count(); }

const Param& CurrParamsProvider::at(int i) const { return table_.at(i); }

void FastParamsProvider::init() {
    params_.clear();
    const AllParams& registry = get_all_params();
    std::vector<AnsiString> names;
    const rtl::StringList& list = registry.fast_params();
    for (int i = 0; i < list.Count(); ++i) names.push_back(list[i]);
    if (names.empty()) names.assign(std::begin(fixed_fast_params), std::end(fixed_fast_params));
    for (const AnsiString& name : names) {
        Param p;
        const int n = registry.get_param_number(std::string_view(name));
        if (n >= 0) registry.at(n).assign_to(p);
        params_.push_back(std::move(p));
    }
}

std::shared_ptr<const StoredParamsProvider> StoredParamsProvider::snapshot(const ParamsProvider& source) {
    const int n = source.size();
    std::vector<Param> params;
    params.reserve(static_cast<std::size_t>(std::min(n, lib::realtime::max_block_params)));
    for (int i = 0; i < n && i < lib::realtime::max_block_params; ++i) params.push_back(source.at(i));
    return std::make_shared<const StoredParamsProvider>(std::move(params), n);
}

std::shared_ptr<const StoredParamsProvider> StoredParamsProvider::snapshot(std::vector<Param> params) {
    const int n = static_cast<int>(params.size());
    if (params.size() > static_cast<std::size_t>(lib::realtime::max_block_params))
        params.resize(static_cast<std::size_t>(lib::realtime::max_block_params));
    return std::make_shared<const StoredParamsProvider>(std::move(params), n);
}

StoredParamsProvider::StoredParamsProvider(std::vector<Param> params, int source_size)
    : params_(std::move(params)), source_size_(source_size) {
    // The header's payload is one count byte and each parameter's texts and
    // bounds; parameters that would take it past what a block holds are not
    // carried, so the header and the records always agree.
    std::vector<FileStorageParam> header;
    std::size_t payload = 1;
    std::string one;
    for (const Param& p : params_) {
        FileStorageParam hp = header_param(p);
        one.clear();
        lib::realtime::BlockEncoder::append_params_payload(one, &hp, 1);
        if (payload + one.size() - 1 > static_cast<std::size_t>(lib::realtime::max_payload_size)) break;
        payload += one.size() - 1;
        header.push_back(std::move(hp));
    }
    params_.resize(header.size());
    names_.reserve(params_.size());
    for (const Param& p : params_) names_.push_back(p.global_name);
    lib::io::BinaryMemoryOutputStream sink(header_);
    lib::realtime::BlockEncoder().write_params(sink, header);
}

bool StoredParamsProvider::matches(const ParamsProvider& source) const {
    if (source.size() != source_size_) return false;
    for (int i = 0; i < size(); ++i)
        if (!same_header(params_[static_cast<std::size_t>(i)], source.at(i))) return false;
    return true;
}

// ---- records -----------------------------------------------------------

ValuesWriterRecord::ValuesWriterRecord(std::uint32_t time, float value_depth, float bit_depth, float lag_depth,
                                       unsigned char operation, std::vector<float> values,
                                       std::shared_ptr<const StoredParamsProvider> provider)
    : time_(time),
      value_depth_(value_depth),
      bit_depth_(bit_depth),
      lag_depth_(lag_depth),
      operation_(operation),
      values_(std::move(values)),
      provider_(std::move(provider)) {
    // The record carries exactly its header's parameters.
    values_.resize(static_cast<std::size_t>(provider_ ? provider_->size() : 0), 0.0f);
    lib::io::BinaryMemoryOutputStream sink(block_);
    lib::realtime::BlockEncoder().write_record(sink, time_, value_depth_, bit_depth_, lag_depth_, operation_,
                                               values_.data(), values_.size());
}

void ValuesWriterRecord::write_to(lib::io::BinaryOutputStream& out) const {
    out.write(block_.data(), static_cast<unsigned>(block_.size()));
}

bool ValuesWriterRecord::header_needed(const ValuesWriterDequeFileData& state) const {
    if (state.header == provider_) return false;
    const std::vector<AnsiString> none;
    return state.names != (provider_ ? provider_->names() : none);
}

TextWriterRecord::TextWriterRecord(const AnsiString& text) : text_(text) {
    lib::io::BinaryMemoryOutputStream sink(blocks_);
    lib::realtime::BlockEncoder().write_text(sink, text_);
}

void TextWriterRecord::write_to(lib::io::BinaryOutputStream& out) const {
    out.write(blocks_.data(), static_cast<unsigned>(blocks_.size()));
}

std::size_t Records::block_size() const {
    std::size_t n = 0;
    for (const auto& r : records) n += r->block_size();
    return n;
}
