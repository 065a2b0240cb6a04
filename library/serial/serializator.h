#pragma once
// The named-module stream: the system state file ("sys.bin") and every other
// stream of component states.
//
//   int32 version
//   int32 count of records
//   per record: name (Windows-1251, 0 byte), int32 length N, N data bytes,
//               checksum byte (85 plus the data bytes, modulo 256)
//
// A record is found by its module's name (ignoring letter case, Cyrillic
// too), so modules may come and go or change places between versions of the
// program; a record without a module is skipped. Reading is tolerant of
// damage: a record that fails (bad checksum, a module that can't read it) is
// reported and the next one is read; a damaged length or count is checked
// against the bytes left before anything is allocated, reported, and the
// records that can still be found are read. Only a wrong version fails the
// whole call.

#include "library/serial/serial_list.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lib {

class SerialModuleBase {
public:
    virtual ~SerialModuleBase() = default;
    // Writes or reads every field of the module through the list; param is
    // a kind chosen by the caller (1 is the full form).
    virtual void get_serial_list(serial_list& list, unsigned param) = 0;
    // The module's record name.
    virtual void get_serial_name(std::string& name) = 0;

    bool get_serial_permission() const { return serial_permission_; }
    void set_serial_permission(bool allowed) { serial_permission_ = allowed; }

protected:
    bool serial_permission_ = true;
};

struct SerialOutData {
    std::string name;
    SerialOutputBuffer buffer;
    // Name, 0 byte, then the record body.
    void save_to_stream(rtl::Stream* stream) const;
};

class Serializator {
public:
    using ErrorCallback = std::function<void(const std::string&)>;
    using Modules = std::vector<SerialModuleBase*>;

    explicit Serializator(int version) : version_(version) {}

    // Every module's record is built before anything is written, so a module
    // that throws leaves the stream untouched. On a file stream every module
    // is written; on any other stream only those whose serial permission is
    // set.
    void serialize(const Modules& modules, rtl::Stream* stream, unsigned param);
    void serialize_all_to_buffer(const Modules& modules, std::vector<std::shared_ptr<SerialOutData>>& out,
                                 unsigned param);
    void serialize_module_to_file(rtl::Stream* stream, SerialModuleBase* module, unsigned param);
    void write_size_and_version(rtl::Stream* stream, int count);

    // Throws "Serializator::deserialize: incorrect version" for a stream of
    // another version, and a stream error when even the count is missing.
    // Every other failure goes to on_error, one message a failure, and
    // reading goes on where it still can; an empty on_error writes the
    // messages to the process error log (os::log_error) instead.
    void deserialize(const Modules& modules, rtl::Stream* stream, unsigned param, const ErrorCallback& on_error);
    // One record. Returns false when the stream can no longer be followed
    // (its end, or a damaged length), after reporting why.
    bool deserialize_module(const Modules& modules, rtl::Stream* stream, unsigned param, const ErrorCallback& on_error);
    // Bytes up to a 0 byte, as UTF-8. Throws at the end of the stream or
    // when no 0 byte comes within a sane name length.
    void read_name(rtl::Stream* stream, std::string& name);

    int version() const { return version_; }

private:
    int version_;
};

}  // namespace lib
