#pragma once
// Well logs in the LAS 2.0 text format (Canadian Well Logging Society).
//
// A file is a list of sections, each started by a line "~Name": header
// sections of lines "MNEM.UNIT  VALUE : DESCRIPTION" (version, well, curve,
// parameter), an optional free-text section (other information), and last
// the data section "~A" with one row of numbers per depth step (or, in a
// wrapped file, one depth step spread over several lines).
//
// Text is UTF-8 in memory like everywhere in the station. The writer puts
// Windows-1251 on disk with CR LF line ends; the reader takes Windows-1251,
// DOS (866) or UTF-8 files and finds out which by itself unless told. Numbers
// are written and read with a decimal point whatever the process's number
// settings are: LAS files go to programs all over the world.
//
// Reading a header line follows the standard: blanks may come before the
// mnemonic and before the dot; the unit runs from the dot to the first blank;
// the value runs from there to the last colon of the line, the description
// after it (and may be empty). Surrounding blanks are dropped from each field.

#include <functional>
#include <iosfwd>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "library/smart_pointers.h"

namespace lib {
class mapped_file;
}

namespace lib::las {

namespace detailed {

// The code page of a file's text. `detect` looks at the file: UTF-8 when the
// whole file is valid UTF-8 with letters beyond ASCII (or starts with the
// UTF-8 byte-order mark), otherwise DOS or Windows by which Cyrillic letters
// are the more frequent (Windows when there are none).
enum coding { dos, windows, utf8, detect };

}  // namespace detailed

// One header line.
struct file_value {
    std::string name;  // the mnemonic
    std::string unit;
    std::string data;  // the value
    std::string description;

    file_value() = default;
    file_value(std::string name_, std::string unit_, std::string data_, std::string description_)
        : name(std::move(name_)),
          unit(std::move(unit_)),
          data(std::move(data_)),
          description(std::move(description_)) {}

    // Whether the mnemonic, lower-cased, equals `lower_name` as it is.
    bool have_name(const std::string& lower_name) const;
    // "MNEM.UNIT   VALUE: DESCRIPTION" with the value ending in column 53
    // when it fits, and always at least one blank after the unit.
    void save_to_stream(std::ostream& out) const;
};

namespace detailed {

// Splits one header line (UTF-8, no line end) into its fields. False when it
// is not a header line: no dot, or the first dot after the last colon.
bool parse_header_line(std::string_view line, file_value& value);

// Decodes bytes of a file in the given code page (`detect` reads as Windows).
std::string decode(std::string_view bytes, coding code_page);

}  // namespace detailed

// Lines are views into the file's bytes, which the load keeps for its span.
using line_iterator = std::vector<std::string_view>::const_iterator;

// A section. Its name is the text after "~"; the first letter of the name
// (either case) says what kind of section it is.
class las_block_base {
public:
    explicit las_block_base(std::string name) : name_(std::move(name)) {}
    virtual ~las_block_base() = default;
    las_block_base(const las_block_base&) = delete;
    las_block_base& operator=(const las_block_base&) = delete;

    // Replaces the content with the lines [first, end) in the code page.
    virtual void load(line_iterator first, line_iterator end, detailed::coding code_page) = 0;
    virtual void save(std::ostream& out) const = 0;

    const std::string& get_name() const { return name_; }
    void set_name(std::string name) { name_ = std::move(name); }
    // The first letter of the name in lower case; 0 for an empty name.
    char letter() const;

private:
    std::string name_;
};

// A header section: mnemonic lines in file order.
class text_headers : public las_block_base {
public:
    // Told the new number of lines after a line was appended (or the section
    // emptied), so that the data rows can follow the curve section.
    using change_callback = std::function<void(int)>;

    explicit text_headers(std::string name) : las_block_base(std::move(name)) {}

    // Lines that are not header lines are skipped (and named in
    // load_notes). In a section that takes lines without a colon (the curve
    // section: real files carry "GR  .API" as a whole curve line) such a
    // line is read as mnemonic and unit, and noted too.
    void load(line_iterator first, line_iterator end, detailed::coding code_page) override;
    void set_takes_lines_without_colon(bool v) { lines_without_colon_ = v; }
    // What the last load skipped or read in a way of its own, one text each.
    const std::vector<std::string>& load_notes() const { return notes_; }
    void save(std::ostream& out) const override;

    int size() const { return lines_.size(); }
    // Bad indexes throw std::runtime_error "heavy_vector<T>::check_item_index".
    file_value& item_by_index(int index) { return lines_[index]; }
    const file_value& item_by_index(int index) const { return lines_[index]; }

    // The index of the first line with this mnemonic ignoring case, or -1.
    int find_param(const std::string& name) const;
    // The line of that mnemonic, appended (empty but for the mnemonic) when
    // missing; an existing line is returned unchanged.
    file_value& add(const std::string& name);
    // As add(name), then sets the other three fields, also of an existing line.
    file_value& add(const std::string& name, const std::string& unit, const std::string& value,
                    const std::string& description);
    file_value& item_by_name(const std::string& name) { return add(name); }
    // Drops every line.
    void clear();

    void set_change_callback(change_callback callback) { on_change_ = std::move(callback); }

private:
    void changed();

    heavy_vector<file_value> lines_;
    change_callback on_change_;
    bool lines_without_colon_ = false;
    std::vector<std::string> notes_;
};

// A free-text section (other information): its lines as they are.
class simple_headers : public las_block_base {
public:
    explicit simple_headers(std::string name) : las_block_base(std::move(name)) {}

    void load(line_iterator first, line_iterator end, detailed::coding code_page) override;
    // The heading and every line, so that the text survives a rewrite.
    void save(std::ostream& out) const override;
    virtual int size() const { return static_cast<int>(lines_.size()); }
    // Bad indexes throw std::out_of_range "invalid vector<T> subscript".
    const std::string& get(int index) const;
    void add(std::string line) { lines_.push_back(std::move(line)); }

private:
    std::vector<std::string> lines_;
};

// One data row: a view of its values, a value per curve, in the data
// section's store. It stays good until rows are added or the curve count
// changes (the store moves then).
class values_line {
public:
    values_line() = default;
    values_line(double* values, int size) : values_(values), size_(size) {}
    int size() const { return size_; }
    // Bad indexes throw std::out_of_range "invalid vector<T> subscript".
    double& at(int index);
    double at(int index) const;

    // The first value (depth) left-aligned with at least one decimal, the
    // others right-aligned with `precision` decimals, each in a field of
    // precision + 5 characters and a blank; a value that is not a finite
    // number is written as the null value.
    void save_to_stream(std::ostream& out, int precision, double null_value) const;

private:
    double* values_ = nullptr;
    int size_ = 0;
};

namespace detailed {

// Memory for the data rows. A large log's block is taken in huge pages
// where the system allows (os::allocate_large): filling tens of megabytes
// of fresh 4 KiB pages costs a page fault each, which took longer than
// reading the numbers. New values are left as they come (no zeroing): the
// reader writes every value of the rows it sizes.
void* allocate_rows(std::size_t bytes);
void free_rows(void* p, std::size_t bytes) noexcept;

template <class T>
struct rows_allocator {
    using value_type = T;
    rows_allocator() = default;
    template <class U>
    rows_allocator(const rows_allocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocate_rows(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { free_rows(p, n * sizeof(T)); }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const rows_allocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace detailed

// The data section.
class values_cont {
public:
    using count_source = std::function<int()>;

    // What the last load met that does not fit the curve list.
    struct load_report {
        int rows_other_width = 0;  // rows whose number of values is not the curve count
        int min_width = 0;         // the fewest and the most values of those rows
        int max_width = 0;
        int not_numbers = 0;  // values that were not numbers (read as the null value)
    };

    // Where new rows learn how many curves there are.
    void set_count_source(count_source source) { count_source_ = std::move(source); }

    // Appends a row of the current curve count filled with the null value;
    // returns its index.
    int add();
    // Bad indexes throw std::out_of_range "invalid vector<T> subscript".
    double& at(int column, int row);
    double at(int column, int row) const;
    values_line line(int row);
    // The row's first value, where the index curve stands.
    double depth(int row) const { return at(0, row); }
    int size() const { return rows_; }
    void clear();
    // Every row gets `count` values; new ones hold the null value.
    void on_params_resize(int count);

    // Splits a data line at blanks and tabs.
    static void parse_line(std::string_view line, std::vector<std::string_view>& tokens);
    // Replaces the rows with those of the lines, `count` values each. An
    // unwrapped file has a row per line (short rows take the null value,
    // extra values are dropped). A wrapped file's values are collected until
    // a row has every curve; each row must start on a line of its own and the
    // last must be complete, otherwise std::runtime_error says where.
    void load(line_iterator first, line_iterator end, int count, bool wrapped);
    const load_report& get_load_report() const { return report_; }
    // "~ASCII Log Data" and the rows, CR LF after each line.
    void save_to_stream(std::ostream& out) const;
    // The two halves of save_to_stream: the data section's heading, then
    // the rows.
    void save_heading(std::ostream& out) const;
    void save_rows(std::ostream& out) const;
    // One row of `count` values as save_to_stream writes it, appended to
    // `out`, for a writer that streams rows it does not keep.
    void append_row(std::string& out, const double* values, int count) const;

    // The number of values in every row.
    int get_column_count() const { return column_count_; }
    double get_null_value() const { return null_value_; }
    void set_null_value(double value) { null_value_ = value; }
    // Kept within 0..15 decimals.
    void set_precision(int precision);

private:
    // The rows one after another, column_count_ values each: one block for
    // the whole log instead of an allocation per row, which was most of the
    // time and a quarter again of the memory of a large file's load.
    std::vector<double, detailed::rows_allocator<double>> values_;
    int rows_ = 0;
    int column_count_ = 0;
    double null_value_ = -9999;
    int precision_ = 5;
    count_source count_source_;
    load_report report_;
};

class file {
public:
    file();
    // Sections hold callbacks into the file: it stays where it was made.
    file(const file&) = delete;
    file& operator=(const file&) = delete;

    // Replaces the content with the file's. Throws std::runtime_error
    // "Could not open file '<name>'" when it cannot be read, and an error
    // naming the file and the cause when its data cannot be read right; the
    // file is left empty then. What the reader had to guess or leave out
    // (header lines it skipped, curve lines without a colon, data rows wider
    // or narrower than the curve list, values that are not numbers) is told
    // in get_warnings.
    //
    // The well section's NULL value applies whether or not data follow. A
    // file of version 1.x keeps its well items other than STRT, STOP, STEP
    // and NULL after the colon: they are read so (value and description
    // change places), and save() writes the file as version 2.0.
    void load(const std::string& file_name);
    // The warnings of the last load, one text each; empty after clear().
    const std::vector<std::string>& get_warnings() const { return warnings_; }
    // Sets the NULL line, then writes every section in order and the data.
    // Throws std::runtime_error when the stream fails.
    void save(std::ostream& out);
    // save without the rows: every section and the data section's heading,
    // after which rows made by get_values().append_row follow.
    void save_header(std::ostream& out);
    void clear();

    std::shared_ptr<las_block_base> find_block(char letter) const;
    // The first section of that letter, which must be a `Block`
    // (std::logic_error otherwise), or a new one with `name` at the end.
    template <class Block>
    std::shared_ptr<Block> find_or_create_block(char letter, const std::string& name);

    std::shared_ptr<text_headers> get_version_block();
    std::shared_ptr<text_headers> get_well_block();
    std::shared_ptr<text_headers> get_param_block();
    // Also makes the data rows follow the curve lines.
    std::shared_ptr<text_headers> get_curve_block();
    std::shared_ptr<las_block_base> get_other_info_block(bool free_text);
    int get_param_count();

    // VERS 2.00 and WRAP NO.
    void set_standart_version_info();
    // The well section's NULL line from the data section's null value.
    void check_for_null_param();

    // The stages of load. load_to_strings reads the file's lines (CR, LF or
    // CR LF end a line) without empty and comment lines and settles the code
    // page of this load; the lines point into `bytes`.
    void load_to_strings(const std::string& file_name, lib::mapped_file& bytes, std::vector<std::string_view>& lines);
    void cut_to_blocks(const std::vector<std::string_view>& lines,
                       std::vector<std::pair<std::size_t, std::size_t>>& ranges);
    void load_block(const std::vector<std::string_view>& lines, std::pair<std::size_t, std::size_t> range);

    values_cont& get_values() { return values_; }
    const values_cont& get_values() const { return values_; }
    // The index of the DEPT curve after a load; -1 when there is none.
    int get_dept_index() const { return dept_index_; }
    const std::vector<std::shared_ptr<las_block_base>>& get_blocks() const { return blocks_; }

    void set_coding(detailed::coding code_page) { coding_ = code_page; }

private:
    bool is_wrapped() const;
    void apply_null_value();
    // Version 1.x: the well items' values stand after the colon.
    bool is_version_1() const;
    void apply_version_1_well_rule();
    void note_data_fit(int curves);

    detailed::coding coding_ = detailed::detect;
    detailed::coding load_coding_ = detailed::windows;  // settled for the current load
    std::vector<std::shared_ptr<las_block_base>> blocks_;
    values_cont values_;
    int dept_index_ = -1;
    std::vector<std::string> warnings_;
};

extern template std::shared_ptr<text_headers> file::find_or_create_block<text_headers>(char, const std::string&);
extern template std::shared_ptr<simple_headers> file::find_or_create_block<simple_headers>(char, const std::string&);

}  // namespace lib::las
