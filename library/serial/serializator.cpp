#include "library/serial/serializator.h"

#include "platform/os/error_log.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/text.h"

#include <cstring>
#include <exception>
#include <stdexcept>

namespace lib {

namespace {

// The smallest record: an empty name's 0 byte, the length, the checksum.
constexpr std::int64_t kMinRecordBytes = 1 + 4 + 1;
// Names are short words; a longer run without a 0 byte is damage.
constexpr std::size_t kMaxNameBytes = 4096;

const char* const kModuleError = "Ошибка во время десериализации модуля ";
const char* const kUnknownModuleError = "Неизвестная ошибка во время десериализации модуля ";
const char* const kStreamError = "Ошибка во время десериализации: ";

std::int32_t read_int32(rtl::Stream* stream) {
    unsigned char b[4];
    serial_read_bytes(stream, b, 4);
    return static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
}

void write_int32(rtl::Stream* stream, std::int32_t v) {
    unsigned char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(static_cast<std::uint32_t>(v) >> (8 * i));
    serial_write_bytes(stream, b, 4);
}

void report(const Serializator::ErrorCallback& on_error, const std::string& text) {
    if (on_error)
        on_error(text);
    else
        os::log_error("Serializator: " + text);
}

std::string name_of(SerialModuleBase* module) {
    std::string name;
    module->get_serial_name(name);
    return name;
}

std::shared_ptr<SerialOutData> build_record(SerialModuleBase* module, unsigned param) {
    auto record = std::make_shared<SerialOutData>();
    record->name = name_of(module);
    module->get_serial_list(record->buffer, param);
    return record;
}

}  // namespace

void SerialOutData::save_to_stream(rtl::Stream* stream) const {
    std::string bytes = rtl::utf8_to_cp1251(name);
    bytes.resize(std::strlen(bytes.c_str()));  // a name ends at its first 0
    serial_write_bytes(stream, bytes.c_str(), bytes.size() + 1);
    buffer.save_to_stream(stream);
}

void Serializator::write_size_and_version(rtl::Stream* stream, int count) {
    write_int32(stream, version_);
    write_int32(stream, count);
}

void Serializator::serialize_all_to_buffer(const Modules& modules, std::vector<std::shared_ptr<SerialOutData>>& out,
                                           unsigned param) {
    for (auto* module : modules)
        if (module && module->get_serial_permission()) out.push_back(build_record(module, param));
}

void Serializator::serialize_module_to_file(rtl::Stream* stream, SerialModuleBase* module, unsigned param) {
    build_record(module, param)->save_to_stream(stream);
}

void Serializator::serialize(const Modules& modules, rtl::Stream* stream, unsigned param) {
    // A file keeps every module; other streams (transfers between programs)
    // carry only the modules that allow it.
    const bool to_file = dynamic_cast<rtl::FileStream*>(stream) != nullptr;
    std::vector<std::shared_ptr<SerialOutData>> records;
    if (to_file) {
        for (auto* module : modules)
            if (module) records.push_back(build_record(module, param));
    } else {
        serialize_all_to_buffer(modules, records, param);
    }
    write_size_and_version(stream, static_cast<int>(records.size()));
    for (const auto& record : records) record->save_to_stream(stream);
}

void Serializator::read_name(rtl::Stream* stream, std::string& name) {
    std::string bytes;
    for (;;) {
        char c;
        serial_read_bytes(stream, &c, 1);
        if (c == '\0') break;
        if (bytes.size() >= kMaxNameBytes)
            throw std::runtime_error("no end of the record name within " + std::to_string(kMaxNameBytes) + " bytes");
        bytes.push_back(c);
    }
    name = rtl::cp1251_to_utf8(bytes);
}

bool Serializator::deserialize_module(const Modules& modules, rtl::Stream* stream, unsigned param,
                                      const ErrorCallback& on_error) {
    std::string name;
    try {
        read_name(stream, name);
    } catch (const std::exception& e) {
        report(on_error, kStreamError + std::string("damaged record header: ") + e.what());
        return false;
    }
    const std::string prefix = kModuleError + name + ": ";
    std::int32_t length;
    try {
        length = read_int32(stream);
    } catch (const std::exception& e) {
        report(on_error, prefix + "damaged record header: " + e.what());
        return false;
    }
    // A length that can't be right loses the thread of the stream: there
    // is no telling where the next record starts.
    std::int64_t left = stream->Remaining();
    if (length < 0 || (left >= 0 && static_cast<std::int64_t>(length) + 1 > left)) {
        report(on_error, prefix + "record length " + std::to_string(length) + " does not fit the " +
                             std::to_string(left) + " bytes left in the stream");
        return false;
    }

    SerialInputBuffer buffer;
    try {
        buffer.load_from_stream(stream, length);
    } catch (const serial_checksum_error& e) {
        report(on_error, prefix + e.what());
        return true;  // the record was whole; the next one follows
    } catch (const std::exception& e) {
        report(on_error, prefix + e.what());
        return false;
    }

    const std::string key = rtl::AnsiLowerCase(name);
    for (auto* module : modules) {
        if (!module || rtl::AnsiLowerCase(name_of(module)) != key) continue;
        // Each module of the name reads the record from its start.
        buffer.set_state(serial_read);
        try {
            module->get_serial_list(buffer, param);
        } catch (const std::exception& e) {
            report(on_error, prefix + e.what());
        } catch (...) {
            report(on_error, kUnknownModuleError + name);
        }
    }
    return true;
}

void Serializator::deserialize(const Modules& modules, rtl::Stream* stream, unsigned param,
                               const ErrorCallback& on_error) {
    if (read_int32(stream) != version_) throw std::runtime_error("Serializator::deserialize: incorrect version");
    std::int32_t count = read_int32(stream);

    std::int64_t left = stream->Remaining();
    bool count_fits = count >= 0 && (left < 0 || count <= left / kMinRecordBytes);
    if (!count_fits) {
        std::string why =
            count < 0 ? " is negative" : " does not fit the " + std::to_string(left) + " bytes left in the stream";
        report(on_error, kStreamError + std::string("the record count ") + std::to_string(count) + why);
        if (left < 0) return;  // nothing tells where the records end
    }
    for (std::int64_t i = 0;; ++i) {
        if (count_fits ? i >= count : stream->Remaining() < kMinRecordBytes) break;
        if (!deserialize_module(modules, stream, param, on_error)) break;
    }
}

}  // namespace lib
