// The files of the parameter table: the table file and its ".extended"
// companion (layouts in par_tabl.h).

#include <cstdint>
#include <limits>
#include <stdexcept>

#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/whole_file.h"
#include "library/io/binary_stream.h"
#include "library/io/file_streams.h"

namespace {

const char* const extended_signature = "EXT_NBL_FILE";
const char* const extended_suffix = ".extended";
const char records_end_marker[2] = {'\n', '\0'};

// A table file is a few tens of kilobytes; anything beyond this is not one.
constexpr std::int64_t max_table_file_size = std::int64_t{1} << 30;

// The whole file, read in one go: the station's table files are small, and
// reading from memory lets every count be checked against the bytes left.
std::string read_whole_file(const AnsiString& file, bool& opened) {
    lib::io::BinaryInputFileStream in;
    opened = false;
    in.open(file, false);
    opened = true;
    const std::int64_t size = in.set_pointer(0, lib::io::st_end);
    if (size > max_table_file_size)
        throw std::runtime_error("the file is too large (" + std::to_string(size) + " bytes)");
    in.set_pointer(0, lib::io::st_begin);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0) in.read(bytes.data(), static_cast<unsigned>(size));
    return bytes;
}

// A memory stream that counts what it hands out, so that counts read from
// the file can be checked against the bytes left.
class CountedInput : public lib::io::BinaryInputStream {
public:
    explicit CountedInput(const std::string& bytes) : size_(bytes.size()) { in_.set_data(bytes.data(), bytes.size()); }
    void read(char* buffer, unsigned count) override {
        in_.read(buffer, count);
        consumed_ += count;
    }
    void skip(int) override { throw std::logic_error("CountedInput::skip"); }
    bool eof() override { return consumed_ >= size_; }
    std::size_t left() const { return size_ - consumed_; }

private:
    lib::io::BinaryMemoryInputStream in_;
    std::size_t size_;
    std::size_t consumed_ = 0;
};

std::string image_of(const lib::io::BinaryMemoryOutputStream& out) {
    return out.get_size() ? std::string(out.get_buffer(), out.get_size()) : std::string();
}

}  // namespace

void ParTabl::load_from(const AnsiString& file) {
    std::vector<AnsiString> warnings;
    const auto warn = [&](const std::string& what) {
        warnings.push_back("ParTabl::load_from: '" + file + "': " + what);
    };

    std::string bytes;
    bool opened = false;
    try {
        bytes = read_whole_file(file, opened);
    } catch (const std::exception& e) {
        // A file that cannot be opened leaves the table as it is, silently:
        // the owner falls back to another file. One that opens but cannot
        // be read leaves it as it is too, and says so.
        if (opened) warn(std::string("cannot be read: ") + e.what());
        warnings_ = std::move(warnings);
        return;
    }

    params_.clear();
    index_.touch();
    CountedInput in(bytes);

    // Where each saved record went: its position in the table, or -1 when
    // it was skipped. Calibration blocks name the saved positions.
    std::vector<int> placed;
    bool records_ended = false;
    Param work;
    while (!in.eof()) {
        work.global_name.clear();
        try {
            if (!work.load_from_file(in)) {
                records_ended = true;
                break;
            }
        } catch (const std::exception& e) {
            warn("record " + std::to_string(placed.size()) + " is damaged or cut short (" + e.what() +
                 "); it and everything after it are dropped");
            break;
        }
        if (work.global_name.empty()) {
            warn("record " + std::to_string(placed.size()) + " has no global name and is skipped");
            placed.push_back(-1);
        } else if (params_.size() >= static_cast<std::size_t>(max_params)) {
            warn("record " + std::to_string(placed.size()) + " ('" + work.global_name + "') is beyond " +
                 std::to_string(max_params) + " parameters and is dropped");
            placed.push_back(-1);
        } else {
            placed.push_back(static_cast<int>(params_.size()));
            params_.push_back(work);
        }
    }

    while (records_ended && !in.eof()) {
        if (in.left() < 8) {
            warn("a calibration block is cut short and dropped");
            break;
        }
        int number = -1, count = -1;
        in >> number >> count;
        if (count < 0 || static_cast<std::size_t>(count) > in.left() / 16) {
            warn("calibration block for parameter " + std::to_string(number) + " has a point count of " +
                 std::to_string(count) + " that the " + std::to_string(in.left()) +
                 " bytes left cannot hold; the blocks end here");
            break;
        }
        std::vector<UnitCalibrPoint> points(static_cast<std::size_t>(count));
        for (UnitCalibrPoint& p : points) in >> p.x >> p.y;
        const int target = number >= 0 && static_cast<std::size_t>(number) < placed.size()
                               ? placed[static_cast<std::size_t>(number)]
                               : -1;
        if (target < 0) {
            warn("calibration block for parameter " + std::to_string(number) +
                 ", which is not in the table, is dropped");
            continue;
        }
        params_[static_cast<std::size_t>(target)].points = std::move(points);
    }

    warnings_ = std::move(warnings);
    read_extended_info(file + extended_suffix);
    check();
}

void ParTabl::load_extended_info(const AnsiString& file) {
    warnings_.clear();
    read_extended_info(file);
}

void ParTabl::read_extended_info(const AnsiString& file) {
    std::string bytes;
    try {
        bool opened = false;
        bytes = read_whole_file(file, opened);
    } catch (const std::exception&) {
        return;  // no companion: no extra data
    }
    CountedInput in(bytes);
    const auto warn = [&](const std::string& what) {
        warnings_.push_back("ParTabl::load_extended_info: '" + file + "': " + what);
    };
    unsigned int count = 0;
    unsigned int done = 0;
    try {
        AnsiString signature;
        in >> signature;
        if (signature != extended_signature) {
            warn("not a parameter extra data file");
            return;
        }
        in >> count;
        for (; done < count; ++done) {
            AnsiString name;
            in >> name;
            const int i = find_global(name);
            if (i >= 0) {
                params_[static_cast<std::size_t>(i)].ext_info.load(in);
            } else {
                ParamExtInfo dropped;
                dropped.load(in);
            }
        }
    } catch (const std::exception& e) {
        warn("cut short after " + std::to_string(done) + " of " + std::to_string(count) + " entries (" + e.what() +
             ")");
    }
}

void ParTabl::save_extended_info(const AnsiString& file) const {
    lib::io::BinaryMemoryOutputStream out(1024);
    out << extended_signature << static_cast<unsigned int>(params_.size());
    for (const Param& p : params_) p.save_extended_info(out);
    registr::write_whole_file(file, image_of(out));
}

void ParTabl::save_to(const AnsiString& file) const {
    if (file.empty()) return;
    saved_ = false;
    lib::io::BinaryMemoryOutputStream out(4096);
    for (std::size_t i = 0; i < params_.size(); ++i) {
        try {
            params_[i].save_to_file(out);
        } catch (const std::exception& e) {
            throw std::runtime_error("ParTabl::save_to: '" + file + "': parameter " + std::to_string(i) + ": " +
                                     e.what());
        }
    }
    out.write(records_end_marker, 2);
    for (std::size_t i = 0; i < params_.size(); ++i) {
        const Param& p = params_[i];
        if (p.channel < 0) continue;
        if (p.points.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 16))
            throw std::runtime_error("ParTabl::save_to: '" + file + "': parameter " + std::to_string(i) +
                                     " has too many calibration points");
        out << static_cast<int>(i) << static_cast<int>(p.points.size());
        for (const UnitCalibrPoint& pt : p.points) out << pt.x << pt.y;
    }
    try {
        registr::write_whole_file(file, image_of(out));
        save_extended_info(file + extended_suffix);
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("ParTabl::save_to: ") + e.what());
    }
    saved_ = true;
}
